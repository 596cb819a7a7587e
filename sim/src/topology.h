// The simulated HDLM host: storage systems, their LUs, each LU's paths and partition table,
// and how the simulated dlnkmgr behaves. Loaded from and saved to JSON (see the README).
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Partition {
    int number = 0;             // 1..15 (MBR: 1-4 primary/extended, 5+ logical; GPT: entry number)
    std::string kind;           // "primary", "extended", "logical" (MBR) or "gpt"
    uint64_t startSector = 0;   // 512-byte sectors
    uint64_t sizeSectors = 0;   // 512-byte sectors
};

struct PartitionTable {
    std::string label;          // "dos" or "gpt"
    std::vector<Partition> partitions;
};

struct Path {
    std::string device;         // SCSI path device without /dev/ (sdc)
    int pathId = 0;             // AutoPATH_ID
    std::string status = "Online";
    bool attachedLater = false; // exists in the OS, taken over by `dlnkmgr add -path -s`
    bool gone = false;          // its SCSI device has left the OS; `delete -path -s` removes it
    std::string hctl;           // host:channel:target:lun, made up when empty
};

struct LU {
    std::string ilu;            // upper-case hex, iluDigits wide
    std::string hdev;           // sddlmaa... (assigned in order when empty)
    uint64_t sizeMiB = 64;
    std::optional<PartitionTable> table;   // none: a disk without a partition table
    std::vector<Path> paths;
};

struct StorageSystem {
    std::string product = "VSP_G900";
    std::string serial = "415678";
    int iluDigits = 6;
    std::vector<LU> lus;
};

// One injected fault for one dlnkmgr operation ("view -sys -msrv", "view -lu",
// "view -lu -item", "delete -path -s", "add -path -s").
struct Fault {
    int status = 0;             // exit status (0: the operation's normal status)
    std::string stdoutText;     // replaces the normal output when `replaceOutput`
    std::string stderrText;
    bool replaceOutput = false; // print stdoutText instead of the normal table (malformed output)
    int delayMs = 0;            // sleep before answering
    bool hang = false;          // never answer
};

struct DlnkmgrOptions {
    int itemTrailingColumns = 11;          // one-token columns after Device under -item
    bool messagesOnStderr = false;         // KAPL warnings/errors on stderr instead of stdout
    std::string managerState = "Alive";    // view -sys -msrv
    bool charDeviceSddlmfdrv = false;      // also list sddlmfdrv under character devices
    std::map<std::string, Fault> faults;   // keyed by operation
};

// A recorded real host (hdlm-sim capture): replayed as recorded instead of being generated.
struct Recording {
    std::map<std::string, std::string> commandOutputs;  // dlnkmgr operation -> stdout
    std::string procPartitions;
    std::string procDevices;
    struct Node { std::string name; char type = 'b'; unsigned major = 0, minor = 0; };
    std::vector<Node> nodes;                             // sddlm* and sd* nodes
    std::map<std::string, PartitionTable> tables;        // HDLM disk name -> its table layout
};

struct Topology {
    std::vector<StorageSystem> storageSystems;
    DlnkmgrOptions dlnkmgr;
    std::optional<Recording> recording;
};

// Parses and validates; throws std::runtime_error naming the offending field.
Topology loadTopology(const std::string& path);
Topology parseTopology(const std::string& jsonText);
std::string toJson(const Topology& topology);

// HDLM naming: index 0 -> sddlmaa, 255 -> sddlmpp, 256 -> sddlmaaa, ... 511 -> sddlmpap.
std::string hdevName(int index);
// Fills empty hdev names in order and checks names are unique and valid.
void assignNames(Topology& topology);

}  // namespace sim
