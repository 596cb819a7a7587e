// Naming and numbering the simulated host's devices: which LUs HDLM shows, their names, path
// IDs and device numbers, filled into the state (a topology with its runtime part) at start
// and whenever dlnkmgr shows a new LU.
#pragma once
#include <string>
#include <vector>

#include "topology/proc_format.h"
#include "topology/topology.h"

namespace sim {

// Majors the machine's /proc/devices leaves free in both sections, highest first below 253
// (where the kernel's dynamic block majors start): 16 for the first letters a..p, then one
// for the alert driver and one for the optional character sddlmfdrv.
std::vector<unsigned> freeMajors(const DevicesTable& real, size_t count);

// An LU is an HDLM device while HDLM manages one of its paths (present or gone).
bool luVisible(const LU& lu);
// HDLM lists the path (it manages it, present or gone).
bool hdlmListsPath(const Path& p);
// The SCSI device of a path exists in the OS.
bool scsiPresent(const Path& p);

// Fills the runtime part and what the topology leaves open: names of the LUs HDLM manages at
// start (lowest free names, in order), path IDs, fake-major disk numbers. Loop-backed numbers,
// where wanted, are set by the caller before or after (LU::disk with loopBacked).
void prepareState(Topology& t, const std::string& realPartitions, const std::string& realDevices);
// Gives a newly shown LU the lowest free name and, unless a loop device backs it, its number.
void nameAndNumber(Topology& t, LU& lu);
// The number of an HDLM disk under its first letter's fake major.
DevNum fakeDiskNumber(const Runtime& rt, const std::string& hdev);

// Kernel-style size of a partition in /proc/partitions: an extended partition shows 1 KiB.
uint64_t partitionKiB(const Partition& p);

}  // namespace sim
