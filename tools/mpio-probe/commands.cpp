#include "commands.h"

#include "exit_status.h"

namespace probe {

const std::vector<CommandSpec>& commandTable() {
    static const std::vector<CommandSpec> table = {
        {"vendor", "show the vendor string (getVendorName)", false},
        {"init", "call init alone and show what it returns", false},
        {"devices", "list the multipath devices (getMPIODevices)", false},
        {"is-mpio", "ask whether DEVICE is a multipath device (isMPIODevice)", true},
        {"underlying", "list the path devices beneath DEVICE (getUnderlyingDevices)", true},
        {"is-partition", "ask whether DEVICE is a partition, and of which disk (isPartitionDevice)",
         true},
        {"partitions", "list the partitions of the disk DEVICE (getPartitionDevices)", true},
        {"refresh", "make the multipath driver drop gone paths and take new ones (refreshMPIO)",
         false},
        {"delete", "call deleteMPIODevice for DEVICE", true},
        {"report", "the whole picture: devices, their paths and partitions, as a tree", false},
    };
    return table;
}

ReportOutcome buildReport(const PluginCaller& caller) {
    ReportOutcome report;
    report.vendor = caller.vendor();
    report.devices = caller.devices();
    for (const auto& device : report.devices.items) {
        DiskReport disk;
        disk.device = device;
        disk.paths = caller.underlying(device);
        disk.partitions = caller.partitions(device);
        for (auto& partition : disk.partitions.partitions) {
            partition.check = caller.isPartition(partition.name);
            partition.check->expectedParent = device;
        }
        report.disks.push_back(std::move(disk));
    }
    return report;
}

namespace {

CommandBody runBody(const PluginCaller& caller, const ProbeOptions& options) {
    const std::string& c = options.command;
    const std::string& device = options.device;
    if (c == "vendor") return caller.vendor();
    if (c == "devices") return caller.devices();
    if (c == "is-mpio") return caller.isMpio(device);
    if (c == "underlying") return caller.underlying(device);
    if (c == "is-partition") return caller.isPartition(device);
    if (c == "partitions") return caller.partitions(device);
    if (c == "refresh") return caller.refresh();
    if (c == "delete") return caller.deleteDevice(device);
    if (c == "report") return buildReport(caller);
    return NotRun{};
}

}  // namespace

CommandResult runCommand(const LoadedPlugin& plugin, const ProbeOptions& options) {
    PluginCaller caller(plugin.entry(), options.capacity);
    CommandResult result;
    result.command = options.command;
    result.pluginPath = plugin.path();
    // The init command is the init call itself; calling it twice would register the driver's
    // majors twice.
    if (!options.skipInit || options.command == "init") {
        result.init = caller.init();
    }
    if (options.command != "init" && !(result.init && result.init->failed)) {
        result.body = runBody(caller, options);
    }
    result.exitStatus = exitStatusOf(result);
    return result;
}

}  // namespace probe
