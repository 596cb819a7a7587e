// The probe's commands: which entry points each one calls, in which order.
#pragma once

#include <string>
#include <vector>

#include "plugin_caller.h"
#include "plugin_loader.h"
#include "probe_model.h"

namespace probe {

struct CommandSpec {
    std::string name;         // as typed on the command line
    std::string description;  // one line for --help
    bool takesDevice = false;
};

// Every command, in the order --help lists them.
const std::vector<CommandSpec>& commandTable();

struct ProbeOptions {
    std::string command;
    std::string device;
    bool skipInit = false;
    CapacityPolicy capacity;
};

// Calls init (unless skipped; an init that fails ends the run there), then the command.
CommandResult runCommand(const LoadedPlugin& plugin, const ProbeOptions& options);

// The report: vendor, device list, and for each device its paths and its partitions, each
// partition checked with isPartitionDevice.
ReportOutcome buildReport(const PluginCaller& caller);

}  // namespace probe
