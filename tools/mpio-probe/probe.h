// What the probe learnt from the plug-in: one record per entry-point call, as the renderers show
// it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace probe {

// One call of an entry point: what it returned and what it wrote into the error outputs.
struct CallOutcome {
    std::string function;  // the entry point's name, e.g. "getMPIODevices"
    std::string device;    // the device argument, empty for calls without one
    // init and getVendorName return text (std::nullopt for a null pointer); the others an int.
    bool returnsText = false;
    std::optional<std::string> text;
    long long result = 0;
    bool failed = false;  // the entry point reported a failure by its own rules
    // Both start at 0 / empty before every call, so whatever they hold was written by this call.
    int errorCode = 0;
    std::string errorMessage;

    bool errorsWritten() const { return errorCode != 0 || !errorMessage.empty(); }
};

// One pass over a list entry point with an array of `capacity` entries.
struct Attempt {
    int capacity = 0;
    long long result = 0;
    int count = 0;  // *count as the plug-in left it
};

// getMPIODevices / getUnderlyingDevices: the last call, every attempt, the entries filled.
struct ListOutcome {
    CallOutcome call;
    std::vector<Attempt> attempts;
    std::vector<std::string> items;
    bool complete = true;  // false when the last attempt still said "more than the array held"
    std::string note;      // why an incomplete list was not retried
};

// isPartitionDevice with a parent buffer.
struct PartitionCheck {
    CallOutcome call;
    std::string parent;
    bool answer = false;         // 1: a partition of an HDLM disk
    std::string expectedParent;  // in the report: the disk the partition was listed under

    bool parentMismatch() const {
        return answer && !expectedParent.empty() && parent != expectedParent;
    }
};

// One TsPartInfo entry as the plug-in filled it.
struct PartitionRecord {
    std::string name;
    uint32_t number = 0;
    uint64_t start = 0;
    uint64_t sectors = 0;
    uint64_t sectorSize = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    std::optional<PartitionCheck> check;  // filled by `report`

    uint64_t bytes() const { return sectors * sectorSize; }
};

// getPartitionDevices: the last call, every attempt, the entries filled.
struct PartitionsOutcome {
    CallOutcome call;
    std::vector<Attempt> attempts;
    std::vector<PartitionRecord> partitions;
    bool complete = true;
    std::string note;
};

struct IsMpioAnswer {
    CallOutcome call;
    bool answer = false;
};

struct DiskReport {
    std::string device;
    ListOutcome paths;
    PartitionsOutcome partitions;
};

struct ReportOutcome {
    CallOutcome vendor;
    ListOutcome devices;
    std::vector<DiskReport> disks;
};

// Nothing ran after init (it failed).
struct NotRun {};

using CommandBody = std::variant<NotRun, CallOutcome, IsMpioAnswer, ListOutcome, PartitionCheck,
                                 PartitionsOutcome, ReportOutcome>;

// Everything one probe run shows.
struct CommandResult {
    std::string command;              // the CLI command, e.g. "partitions"
    std::string pluginPath;           // the file that was loaded
    std::optional<CallOutcome> init;  // std::nullopt with --no-init
    CommandBody body;
    int exitStatus = 0;
};

}  // namespace probe
