// The simulated HDLM host: storage systems, their LUs, each LU's paths and partition table,
// and how the simulated dlnkmgr behaves. Loaded from and saved to JSON (format in the README).
// The same structure, with its runtime part filled, is the state file that dlnkmgr rewrites.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Partition {
    int number = 0;      // dos: 1-4 primary/extended, 5+ logical; gpt: entry number
    std::string kind;    // dos: "primary", "extended" or "logical"; gpt: "" (unused)
    uint64_t start = 0;  // first sector, 512-byte sectors
    uint64_t size = 0;   // length, 512-byte sectors
    std::string type;    // dos: hex code ("83"); gpt: type GUID; empty: Linux data
};

struct PartitionTable {
    std::string label;  // "dos" or "gpt"
    std::vector<Partition> partitions;
};

// Where a path stands between the OS and HDLM.
enum class PathState {
    Managed,        // the SCSI device exists and HDLM manages it
    AttachedLater,  // the SCSI device exists; `dlnkmgr add -path -s` takes it over
    Gone,           // HDLM still lists it but the SCSI device has left; `delete -path -s` drops it
    Removed,        // neither has it: what `delete -path -s` leaves of a gone path, kept so that
                    // the device can come back (`hdlm-sim fault return`) as one attached later
};

struct Path {
    std::string device;  // SCSI path device without /dev/ (sdc)
    int pathId = -1;     // AutoPATH_ID; -1: numbered in order
    std::string status;  // "Online", "Offline(E)", ...; empty: Online, or Offline(E) if gone
    PathState state = PathState::Managed;
    std::string hctl;          // host:channel:target:lun; empty: made up from the position
    std::string chaPort;       // channel adapter port ("1A"); empty: made up
    std::string type = "Own";  // "Own" or "Non"
    uint64_t ioCount = 0;
    uint64_t ioErrors = 0;
};

// A device number as the kernel splits it.
struct DevNum {
    unsigned major = 0;
    unsigned minor = 0;
    bool operator==(const DevNum& o) const { return major == o.major && minor == o.minor; }
};

struct LU {
    std::string ilu;   // upper-case hex, iluDigits wide
    std::string hdev;  // sddlmaa...; empty: the lowest free name when it first shows
    uint64_t sizeMiB = 64;
    std::optional<PartitionTable> table;  // none: a disk without a partition table
    std::vector<Path> paths;
    // Runtime, kept in the state file only: the disk's device number (major 0: not yet
    // numbered) and whether a loop device backs it.
    DevNum disk;
    bool loopBacked = false;
};

struct StorageSystem {
    std::string product = "VSP_G900";
    std::string serial = "415678";
    int iluDigits = 6;
    std::vector<LU> lus;
};

// One injected fault for one dlnkmgr operation.
struct Fault {
    int status = 0;                         // exit status; non-zero: the operation fails
    std::optional<std::string> stdoutText;  // printed instead of the normal output (malformed)
    std::optional<std::string> stderrText;  // written to stderr
    int delayMs = 0;                        // sleep before answering
    bool hang = false;                      // never answer
    int times = 0;                          // applies to the first N calls only; 0: to every call
    int used = 0;                           // runtime: calls it has applied to
    std::optional<std::string> message =
        std::nullopt;  // one line (a KAPL message) among the output lines
    // The operation runs normally (after any delay) unless the fault fails it or replaces
    // its output.
    bool replaces() const { return status != 0 || stdoutText.has_value(); }
};

struct DlnkmgrOptions {
    int itemTrailingColumns = 11;   // one-token columns after Device under -item (the range:
                                    // itemTrailingRange() of the -item table)
    bool messagesOnStderr = false;  // KAPL warnings and errors on stderr instead of stdout
    std::string manager = "Alive";  // view -sys -msrv: "Alive" or "Dead"
    std::string version = "8.8.3-00";
    bool goneDeviceAsDash = true;  // a gone path shows "-" as its Device
    // Keyed by operation: one of faultOperations() (dlnkmgr/dlnkmgr_main.h).
    std::map<std::string, Fault> faults;
};

struct ProcOptions {
    bool charDeviceSddlmfdrv = false;  // also list sddlmfdrv among the character devices
    bool alertDriver = true;           // list HDLM's alert driver sddlmadrv (character)
};

// A recorded real host (hdlm-sim capture), replayed as recorded.
struct RecordedCommand {
    std::string out;
    std::string err;
    int status = 0;
};
struct RecordedNode {
    std::string name;
    char type = 'b';  // 'b' or 'c'
    DevNum dev;
};
struct RecordedDisk {
    std::string name;      // sddlmaa
    uint64_t sectors = 0;  // 512-byte sectors
    std::optional<PartitionTable> table;
    DevNum disk;  // runtime: where replay put it (loop-backed or as recorded)
    bool loopBacked = false;
};
struct Recording {
    std::map<std::string, RecordedCommand> commands;  // "view -lu", "view -lu -item -hdev sddlmaa"
    std::string procPartitions;
    std::string procDevices;
    std::vector<RecordedNode> nodes;  // sddlm* and sd* nodes
    std::vector<RecordedDisk> disks;  // each HDLM disk's partition layout
};

// What `run` set up; present in the state file only.
struct Runtime {
    std::string procPartitionsFile;  // the generated files bound over /proc/...
    std::string procDevicesFile;
    std::string devDir;          // where dlnkmgr keeps the nodes in step; empty: nowhere
    std::string realPartitions;  // the machine's own /proc text, taken before setup
    std::string realDevices;
    std::vector<unsigned> letterMajors;  // fake sddlmfdrv major for first letters a..p
    unsigned loopMajor = 0;              // listed as sddlmfdrv when loop devices back LUs
    int nextPathId = 0;
    bool enforceRoot = false;  // dlnkmgr refuses other users, as HDLM does
    std::string wakeupTime;    // view -sys -msrv
};

struct Topology {
    std::vector<StorageSystem> storageSystems;
    DlnkmgrOptions dlnkmgr;
    ProcOptions proc;
    bool loopDevices = true;    // back LUs that have a table with loop devices
    int maxLoopBackedLUs = 64;  // beyond that, fake-major nodes
    std::optional<Recording> recording;
    std::optional<Runtime> runtime;
};

// Parses and validates; throws std::runtime_error naming the offending field
// ("storageSystems[0].lus[2].paths[1].status: ...").
Topology parseTopology(const std::string& jsonText);
Topology loadTopology(const std::string& path);
// Indented for people; compact for the state file, which dlnkmgr reads on every call.
std::string toJson(const Topology& topology, bool pretty = true);

std::string pathStateName(PathState s);
// The status that dlnkmgr shows for a path.
std::string effectiveStatus(const Path& p);

}  // namespace sim
