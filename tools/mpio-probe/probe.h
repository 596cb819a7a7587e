// mpio-probe in three stages: call the plug-in's entry points through the hosts' call kit and
// judge each answer (call_outcomes.cpp), then show the answers as text (text_output.cpp) or JSON
// (json_output.cpp). main.cpp holds the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "plugin_calls.h"
#include "plugin_loader.h"

namespace probe {

// What the probe adds to an answer of the call kit: which call it shows, and whether the call
// failed by its entry point's own rules.
struct Call {
    std::string function;      // the entry point's name, e.g. "getMPIODevices"
    std::string device;        // the device argument, empty for calls without one
    bool returnsText = false;  // init and getVendorName: their text is shown, not a number
    bool failed = false;
};

// The error outputs as the probe shows them: 0 and "" for an output the call left holding the
// kit's marker, so that whatever is shown was written by the call.
int shownCode(const plugin_calls::ErrorOutputs& error);
std::string shownMessage(const plugin_calls::ErrorOutputs& error);
// True when a shown error output is other than 0 / "".
bool errorsShown(const plugin_calls::ErrorOutputs& error);

// init, getVendorName (the text), refreshMPIO, deleteMPIODevice (the result).
struct CallOutcome {
    Call call;
    plugin_calls::TextAnswer answer;
};

struct IsMpioOutcome {
    Call call;
    plugin_calls::Answer answer;
    bool yes() const { return answer.result == 1; }
};

// getMPIODevices / getUnderlyingDevices: every pass, the entries of the last.
struct ListOutcome {
    Call call;
    plugin_calls::ListAnswer answer;
};

// isPartitionDevice with a parent buffer.
struct CheckOutcome {
    Call call;
    plugin_calls::PartitionCheck answer;
    std::string expectedParent;  // in the report: the disk the partition was listed under

    bool yes() const { return answer.result == 1; }  // a partition of an HDLM disk
    // The parent buffer, "" when the call did not write it.
    std::string parent() const;
    bool parentMismatch() const;
};

// A partition as the report shows it: the record, and the check of its name.
struct ShownPartition {
    plugin_calls::PartitionRecord record;
    std::optional<CheckOutcome> check;  // filled by `report`
};

// getPartitionDevices: every pass, the records of the last.
struct PartitionsOutcome {
    Call call;
    plugin_calls::PartitionsAnswer answer;
    std::vector<ShownPartition> partitions;
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

using CommandBody = std::variant<NotRun, CallOutcome, IsMpioOutcome, ListOutcome, CheckOutcome,
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
// list call that says it needs more room) and judges each answer.
class PluginCaller {
public:
    PluginCaller(const plugin_loader::EntryPoints& entry, const plugin_calls::Capacity& capacity)
        : caller_(entry, storage_), capacity_(capacity) {}

    CallOutcome vendor();
    CallOutcome init();
    ListOutcome devices();
    IsMpioOutcome isMpio(const std::string& device);
    ListOutcome underlying(const std::string& device);
    CheckOutcome isPartition(const std::string& device);
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
