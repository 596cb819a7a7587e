// hdlm-sim capture: records what the plug-in can see on this host as a replayable topology.
#pragma once
#include <string>

#include "topology/topology.h"

namespace sim {

struct CaptureOptions {
    std::string devDir = "/dev";
    std::string procPartitions = "/proc/partitions";
    std::string procDevices = "/proc/devices";
    int timeoutSeconds = 60;  // per dlnkmgr command
    bool verbose = false;
};

// Runs the dlnkmgr views the plug-in runs (never delete or add), reads the /proc files, the
// sddlm* and sd* nodes and each HDLM disk's partition table (through libblkid).
Topology captureHost(const CaptureOptions& options);

}  // namespace sim
