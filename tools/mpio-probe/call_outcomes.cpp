// Calls the entry points through the call kit and judges each answer by its entry point's rules;
// the commands, the exit status.
#include "probe.h"

namespace probe {

int shownCode(const plugin_calls::ErrorOutputs& error) {
    return error.codeWritten() ? error.code : 0;
}

std::string shownMessage(const plugin_calls::ErrorOutputs& error) {
    return error.messageWritten() ? error.message : "";
}

bool errorsShown(const plugin_calls::ErrorOutputs& error) {
    return shownCode(error) != 0 || !shownMessage(error).empty();
}

std::string CheckOutcome::parent() const {
    return answer.parent == plugin_calls::kUntouchedText ? "" : answer.parent;
}

bool CheckOutcome::parentMismatch() const {
    return yes() && !expectedParent.empty() && parent() != expectedParent;
}

namespace {

// The call the probe shows; `failed` is judged once the answer is in.
Call named(const char* function, const std::string& device = "", bool returnsText = false) {
    Call call;
    call.function = function;
    call.device = device;
    call.returnsText = returnsText;
    return call;
}

}  // namespace

CallOutcome PluginCaller::vendor() {
    CallOutcome out{named("getVendorName", "", true), caller_.vendor()};
    out.call.failed = !out.answer.text;
    return out;
}

CallOutcome PluginCaller::init() {
    CallOutcome out{named("init", "", true), caller_.init()};
    out.call.failed = !out.answer.text;
    return out;
}

ListOutcome PluginCaller::devices() {
    ListOutcome out{named("getMPIODevices"), caller_.devices(capacity_)};
    out.call.failed = out.answer.result < 0;
    return out;
}

ListOutcome PluginCaller::underlying(const std::string& device) {
    ListOutcome out{named("getUnderlyingDevices", device), caller_.underlying(device, capacity_)};
    out.call.failed = out.answer.result < 0;
    return out;
}

IsMpioOutcome PluginCaller::isMpio(const std::string& device) {
    IsMpioOutcome out{named("isMPIODevice", device), caller_.isMpio(device)};
    out.call.failed = out.answer.result != 0 && out.answer.result != 1;
    return out;
}

CheckOutcome PluginCaller::isPartition(const std::string& device) {
    CheckOutcome out{named("isPartitionDevice", device), caller_.isPartition(device), ""};
    const long long result = out.answer.result;
    // 0 is both "no" and "failed"; only the error outputs tell a failure.
    out.call.failed =
        (result == 0 && errorsShown(out.answer.error)) || (result != 0 && result != 1);
    return out;
}

PartitionsOutcome PluginCaller::partitions(const std::string& device) {
    PartitionsOutcome out{
        named("getPartitionDevices", device), caller_.partitions(device, capacity_), {}};
    out.call.failed = out.answer.result < 0;
    for (const TsPartInfo& entry : out.answer.records)
        out.partitions.push_back({plugin_calls::recordOf(entry), std::nullopt});
    return out;
}

CallOutcome PluginCaller::refresh() {
    CallOutcome out{named("refreshMPIO"), {caller_.refresh(), std::nullopt}};
    out.call.failed = out.answer.result != 0;
    return out;
}

CallOutcome PluginCaller::deleteDevice(const std::string& device) {
    CallOutcome out{named("deleteMPIODevice", device),
                    {caller_.deleteDevice(device), std::nullopt}};
    out.call.failed = out.answer.result != 0;
    return out;
}

// --- the commands: which entry points each one calls, in which order --------------------------

ReportOutcome buildReport(PluginCaller& caller) {
    ReportOutcome report;
    report.vendor = caller.vendor();
    report.devices = caller.devices();
    for (const auto& device : report.devices.answer.items) {
        DiskReport disk;
        disk.device = device;
        disk.paths = caller.underlying(device);
        disk.partitions = caller.partitions(device);
        for (auto& partition : disk.partitions.partitions) {
            partition.check = caller.isPartition(partition.record.name);
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
    if (options.command != "init" && !(result.init && result.init->call.failed)) {
        result.body = runBody(caller, options);
    }
    result.exitStatus = exitStatusOf(result);
    return result;
}

// --- the exit status ---------------------------------------------------------------------------

namespace {

bool checkFailed(const std::optional<CheckOutcome>& check) {
    return check && (check->call.failed || !check->yes() || check->parentMismatch());
}

bool reportFailed(const ReportOutcome& report) {
    if (report.vendor.call.failed || report.devices.call.failed) return true;
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
    bool operator()(const CallOutcome& c) const { return c.call.failed; }
    bool operator()(const IsMpioOutcome& a) const { return a.call.failed || !a.yes(); }
    bool operator()(const ListOutcome& l) const { return l.call.failed; }
    bool operator()(const CheckOutcome& p) const { return p.call.failed || !p.yes(); }
    bool operator()(const PartitionsOutcome& p) const { return p.call.failed; }
    bool operator()(const ReportOutcome& r) const { return reportFailed(r); }
};

// True when the body holds a failure or a "no" (for the report: anywhere in it).
bool bodyFailed(const CommandBody& body) {
    return std::visit(FailedVisitor{}, body);
}

}  // namespace

int exitStatusOf(const CommandResult& result) {
    if (result.init && result.init->call.failed) return kExitPluginSaidNo;
    return bodyFailed(result.body) ? kExitPluginSaidNo : kExitSuccess;
}

}  // namespace probe
