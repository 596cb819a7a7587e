// Calls the entry points through the call kit; keeps what the probe shows of each answer.
#include <cstring>

#include "probe.h"

namespace probe {

namespace {

// The probe shows 0 and "" for error outputs the call left alone.
void copyErrors(const plugin_calls::Answer& answer, CallOutcome& call) {
    call.errorCode = answer.error.codeWritten() ? answer.error.code : 0;
    call.errorMessage = answer.error.messageWritten() ? answer.error.message : "";
}

CallOutcome intCall(const char* function, const std::string& device,
                    const plugin_calls::Answer& answer) {
    CallOutcome call;
    call.function = function;
    call.device = device;
    call.result = answer.result;
    copyErrors(answer, call);
    return call;
}

CallOutcome textCall(const char* function, const plugin_calls::TextAnswer& answer) {
    CallOutcome call;
    call.function = function;
    call.returnsText = true;
    call.text = answer.text;
    call.failed = !answer.text;
    copyErrors(answer, call);
    return call;
}

template <typename Outcome>
void copyPasses(const plugin_calls::Passes& passes, Outcome& out) {
    for (const plugin_calls::Attempt& a : passes.attempts)
        out.attempts.push_back({a.capacity, a.result, a.count});
    out.complete = passes.complete;
    out.note = passes.note;
}

ListOutcome listOutcome(const char* function, const std::string& device,
                        const plugin_calls::ListAnswer& answer) {
    ListOutcome out;
    out.call = intCall(function, device, answer);
    out.call.failed = answer.result < 0;
    out.items = answer.items;
    copyPasses(answer, out);
    return out;
}

}  // namespace

CallOutcome PluginCaller::vendor() {
    return textCall("getVendorName", caller_.vendor());
}

CallOutcome PluginCaller::init() {
    return textCall("init", caller_.init());
}

ListOutcome PluginCaller::devices() {
    return listOutcome("getMPIODevices", "", caller_.devices(capacity_));
}

ListOutcome PluginCaller::underlying(const std::string& device) {
    return listOutcome("getUnderlyingDevices", device, caller_.underlying(device, capacity_));
}

IsMpioAnswer PluginCaller::isMpio(const std::string& device) {
    const plugin_calls::Answer answer = caller_.isMpio(device);
    IsMpioAnswer out;
    out.call = intCall("isMPIODevice", device, answer);
    out.answer = answer.result == 1;
    out.call.failed = answer.result != 0 && answer.result != 1;
    return out;
}

PartitionCheck PluginCaller::isPartition(const std::string& device) {
    const plugin_calls::PartitionCheck answer = caller_.isPartition(device);
    PartitionCheck out;
    out.call = intCall("isPartitionDevice", device, answer);
    out.parent = answer.parent == plugin_calls::kUntouchedText ? "" : answer.parent;
    out.answer = answer.result == 1;
    // 0 is both "no" and "failed"; only the error outputs tell a failure.
    out.call.failed = (answer.result == 0 && out.call.errorsWritten()) ||
                      (answer.result != 0 && answer.result != 1);
    return out;
}

PartitionsOutcome PluginCaller::partitions(const std::string& device) {
    const plugin_calls::PartitionsAnswer answer = caller_.partitions(device, capacity_);
    PartitionsOutcome out;
    out.call = intCall("getPartitionDevices", device, answer);
    out.call.failed = answer.result < 0;
    copyPasses(answer, out);
    for (const TsPartInfo& info : answer.records) {
        PartitionRecord record;
        record.name.assign(info.devName, strnlen(info.devName, sizeof info.devName));
        record.number = info.partNum;
        record.start = info.startSector;
        record.sectors = info.numSectors;
        record.sectorSize = info.sectorSize;
        record.major = info.devMajor;
        record.minor = info.devMinor;
        out.partitions.push_back(std::move(record));
    }
    return out;
}

CallOutcome PluginCaller::refresh() {
    CallOutcome call = intCall("refreshMPIO", "", caller_.refresh());
    call.failed = call.result != 0;
    return call;
}

CallOutcome PluginCaller::deleteDevice(const std::string& device) {
    CallOutcome call = intCall("deleteMPIODevice", device, caller_.deleteDevice(device));
    call.failed = call.result != 0;
    return call;
}

// --- the commands: which entry points each one calls, in which order --------------------------

ReportOutcome buildReport(PluginCaller& caller) {
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

CommandBody runBody(PluginCaller& caller, const ProbeOptions& options) {
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

CommandResult runCommand(const plugin_loader::LoadedPlugin& plugin, const ProbeOptions& options) {
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

// --- the exit status ---------------------------------------------------------------------------

namespace {

bool checkFailed(const std::optional<PartitionCheck>& check) {
    return check && (check->call.failed || !check->answer || check->parentMismatch());
}

bool reportFailed(const ReportOutcome& report) {
    if (report.vendor.failed || report.devices.call.failed) return true;
    for (const auto& disk : report.disks) {
        if (disk.paths.call.failed || disk.partitions.call.failed) return true;
        for (const auto& partition : disk.partitions.partitions) {
            if (checkFailed(partition.check)) return true;
        }
    }
    return false;
}

struct FailedVisitor {
    bool operator()(const NotRun&) const { return false; }
    bool operator()(const CallOutcome& c) const { return c.failed; }
    bool operator()(const IsMpioAnswer& a) const { return a.call.failed || !a.answer; }
    bool operator()(const ListOutcome& l) const { return l.call.failed; }
    bool operator()(const PartitionCheck& p) const { return p.call.failed || !p.answer; }
    bool operator()(const PartitionsOutcome& p) const { return p.call.failed; }
    bool operator()(const ReportOutcome& r) const { return reportFailed(r); }
};

// True when the body holds a failure or a "no" (for the report: anywhere in it).
bool bodyFailed(const CommandBody& body) {
    return std::visit(FailedVisitor{}, body);
}

}  // namespace

int exitStatusOf(const CommandResult& result) {
    if (result.init && result.init->failed) return kExitPluginSaidNo;
    return bodyFailed(result.body) ? kExitPluginSaidNo : kExitSuccess;
}

}  // namespace probe
