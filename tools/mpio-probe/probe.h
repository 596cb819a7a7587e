// mpio-probe in three stages: call the plug-in's entry points into a model of what it answered
// (call_outcomes.cpp), then show that model as text (text_output.cpp) or JSON (json_output.cpp).
// main.cpp holds the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "plugin_calls.h"
#include "plugin_loader.h"

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
    // 0 / empty when the call left them alone, so whatever they hold was written by this call.
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

// --- calling the plug-in ----------------------------------------------------------------------

using plugin_calls::kDefaultCapacity;
using plugin_calls::kMaxCapacity;

// Calls the plug-in's entry points through the hosts' call kit (plain storage, one retry of a
// list call that says it needs more room) and keeps what the probe shows of each answer.
class PluginCaller {
public:
    PluginCaller(const plugin_loader::EntryPoints& entry, const plugin_calls::Capacity& capacity)
        : caller_(entry, storage_), capacity_(capacity) {}

    CallOutcome vendor();
    CallOutcome init();
    ListOutcome devices();
    IsMpioAnswer isMpio(const std::string& device);
    ListOutcome underlying(const std::string& device);
    PartitionCheck isPartition(const std::string& device);
    PartitionsOutcome partitions(const std::string& device);
    CallOutcome refresh();
    CallOutcome deleteDevice(const std::string& device);

private:
    plugin_calls::PlainStorage storage_;
    plugin_calls::Caller caller_;
    plugin_calls::Capacity capacity_;
};

struct ProbeOptions {
    std::string command;
    std::string device;
    bool skipInit = false;
    plugin_calls::Capacity capacity;  // --capacity: that size, never retried
};

// Calls init (unless skipped; an init that fails ends the run there), then the command.
CommandResult runCommand(const plugin_loader::LoadedPlugin& plugin, const ProbeOptions& options);

// The report: vendor, device list, and for each device its paths and its partitions, each
// partition checked with isPartitionDevice.
ReportOutcome buildReport(PluginCaller& caller);

// The exit status: 0 success, 1 a failure or a negative answer from the plug-in, 2 a usage error
// or a plug-in that cannot be loaded (decided before any call).
constexpr int kExitSuccess = 0;
constexpr int kExitPluginSaidNo = 1;
constexpr int kExitUsage = 2;

int exitStatusOf(const CommandResult& result);

// --- the text output --------------------------------------------------------------------------

// One aligned line per entry-point call, then what it listed; the report as a tree in the manner
// of lsblk.
std::string renderText(const CommandResult& result);

// A size in bytes the way lsblk prints it: binary units, one decimal where it matters (100M, 1.5G).
std::string humanSize(uint64_t bytes);

// --- the JSON output --------------------------------------------------------------------------

// One document per run, its schema documented in the probe's README.
constexpr int kJsonSchemaVersion = 1;

std::string renderJson(const CommandResult& result);

// The document for a run that never reached the plug-in (it could not be loaded).
std::string loadFailureJson(const std::string& command, const std::string& pluginPath,
                            const std::string& error, int exitStatus);

}  // namespace probe
