// Calls the plug-in's entry points the way a host does and records what each one answered.
#include <algorithm>
#include <array>
#include <cstring>

#include "probe.h"

namespace probe {

namespace {

// --- caller-owned buffers, sized as the plug-in's header demands ------------------------------

// Text in a fixed buffer the plug-in wrote; bounded even if it left out the NUL.
template <size_t N>
std::string boundedText(const std::array<char, N>& buffer) {
    return std::string(buffer.data(), strnlen(buffer.data(), N));
}

// errorCode and errorMessage, cleared before each call so that stale text never passes as new.
struct ErrorOutputs {
    int code = 0;
    std::array<char, MAXMPIOERRORLEN> message{};

    void reset() {
        code = 0;
        message.fill('\0');
    }
    void copyInto(CallOutcome& call) const {
        call.errorCode = code;
        call.errorMessage = boundedText(message);
    }
};

// An array of char* to MAXMPIOPATHLEN-byte buffers. Never empty, so a capacity of 0 still passes
// a valid array.
class PathArray {
public:
    explicit PathArray(int capacity)
        : buffers_(static_cast<size_t>(capacity > 0 ? capacity : 1)), pointers_(buffers_.size()) {
        for (size_t i = 0; i < buffers_.size(); ++i) pointers_[i] = buffers_[i].data();
    }
    char** data() { return pointers_.data(); }
    std::string at(int index) const { return boundedText(buffers_.at(static_cast<size_t>(index))); }

private:
    std::vector<std::array<char, MAXMPIOPATHLEN>> buffers_;
    std::vector<char*> pointers_;
};

// --- one call of each entry point --------------------------------------------------------------

// The host's context argument; no plug-in of this interface reads it.
void* const kContext = nullptr;

CallOutcome intCall(const char* function, const std::string& device, long long result,
                    const ErrorOutputs& errors) {
    CallOutcome call;
    call.function = function;
    call.device = device;
    call.result = result;
    errors.copyInto(call);
    return call;
}

CallOutcome textCall(const char* function, const char* text, const ErrorOutputs* errors) {
    CallOutcome call;
    call.function = function;
    call.returnsText = true;
    if (text) call.text = std::string(text, strnlen(text, MAXMPIOPATHLEN));
    call.failed = text == nullptr;
    if (errors) errors->copyInto(call);
    return call;
}

// What one pass of a list call tells the retry loop.
struct Pass {
    bool failed = false;
    bool needsMore = false;  // the plug-in had more entries than the array held
    long long wanted = 0;    // the array size it asked for
};

// Runs `pass(capacity)` once, and once more with the size the plug-in asked for, unless the
// capacity is fixed. Records every attempt and why a list stayed incomplete.
template <typename Outcome, typename PassFn>
void runWithRetry(const CapacityPolicy& policy, Outcome& out, PassFn pass) {
    int capacity = policy.initial;
    for (;;) {
        Pass p = pass(capacity);
        if (p.failed || !p.needsMore) {
            out.complete = !p.failed;
            return;
        }
        out.complete = false;
        if (policy.fixed) {
            out.note = "the capacity is fixed by --capacity";
            return;
        }
        if (out.attempts.size() > 1) {  // a host retries once
            out.note = "still more than the array held after one retry";
            return;
        }
        if (p.wanted <= capacity) {
            out.note = "the plug-in asked for no bigger array; not retried";
            return;
        }
        if (p.wanted > kMaxCapacity) {
            out.note = "more than the probe's limit of " + std::to_string(kMaxCapacity) +
                       " entries; not retried";
            return;
        }
        capacity = static_cast<int>(p.wanted);
    }
}

template <typename Fn>
ListOutcome pathList(const char* function, const std::string& device, const CapacityPolicy& policy,
                     Fn invoke) {
    ListOutcome out;
    runWithRetry(policy, out, [&](int capacity) {
        PathArray array(capacity);
        ErrorOutputs errors;
        int count = capacity;
        long long result = invoke(array.data(), &count, &errors.code, errors.message.data());
        out.attempts.push_back({capacity, result, count});
        out.call = intCall(function, device, result, errors);
        out.call.failed = result < 0;
        out.items.clear();
        Pass p;
        p.failed = result < 0;
        if (p.failed) return p;
        // Read no further than the array reaches, whatever count says.
        int filled = std::clamp(count, 0, capacity);
        for (int i = 0; i < filled; ++i) out.items.push_back(array.at(i));
        // A positive result is the total the plug-in counted, more than the array held.
        p.needsMore = result > 0;
        p.wanted = result;
        return p;
    });
    return out;
}

}  // namespace

CallOutcome PluginCaller::vendor() const {
    return textCall("getVendorName", entry_.getVendorName(), nullptr);
}

CallOutcome PluginCaller::init() const {
    ErrorOutputs errors;
    const char* text = entry_.init(kContext, &errors.code, errors.message.data());
    return textCall("init", text, &errors);
}

ListOutcome PluginCaller::devices() const {
    return pathList("getMPIODevices", "", policy_,
                    [&](char** array, int* count, int* code, char* msg) {
                        return entry_.getMPIODevices(kContext, array, count, code, msg);
                    });
}

ListOutcome PluginCaller::underlying(const std::string& device) const {
    return pathList("getUnderlyingDevices", device, policy_,
                    [&](char** array, int* count, int* code, char* msg) {
                        return entry_.getUnderlyingDevices(kContext, device.c_str(), array, count,
                                                           code, msg);
                    });
}

IsMpioAnswer PluginCaller::isMpio(const std::string& device) const {
    ErrorOutputs errors;
    int result = entry_.isMPIODevice(kContext, device.c_str(), &errors.code, errors.message.data());
    IsMpioAnswer out;
    out.call = intCall("isMPIODevice", device, result, errors);
    out.answer = result == 1;
    out.call.failed = result != 0 && result != 1;
    return out;
}

PartitionCheck PluginCaller::isPartition(const std::string& device) const {
    ErrorOutputs errors;
    std::array<char, MAXMPIOPATHLEN> parent{};
    int result = entry_.isPartitionDevice(kContext, device.c_str(), parent.data(), &errors.code,
                                          errors.message.data());
    PartitionCheck out;
    out.call = intCall("isPartitionDevice", device, result, errors);
    out.parent = boundedText(parent);
    out.answer = result == 1;
    // 0 is both "no" and "failed"; only the error outputs tell a failure.
    out.call.failed = (result == 0 && out.call.errorsWritten()) || (result != 0 && result != 1);
    return out;
}

PartitionsOutcome PluginCaller::partitions(const std::string& device) const {
    PartitionsOutcome out;
    runWithRetry(policy_, out, [&](int capacity) {
        std::vector<TsPartInfo> array(static_cast<size_t>(std::max(capacity, 1)));
        ErrorOutputs errors;
        int count = capacity;
        long long result = entry_.getPartitionDevices(
            kContext, device.c_str(), array.data(), &count, 0, &errors.code, errors.message.data());
        out.attempts.push_back({capacity, result, count});
        out.call = intCall("getPartitionDevices", device, result, errors);
        out.call.failed = result < 0;
        out.partitions.clear();
        Pass p;
        p.failed = result < 0;
        if (p.failed) return p;
        // *count is the number of partitions found, which may exceed what the array held.
        int filled = std::clamp(count, 0, capacity);
        for (int i = 0; i < filled; ++i) {
            const TsPartInfo& info = array[static_cast<size_t>(i)];
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
        p.needsMore = result > capacity;
        p.wanted = result;
        return p;
    });
    return out;
}

CallOutcome PluginCaller::refresh() const {
    ErrorOutputs errors;
    int result = entry_.refreshMPIO(kContext, &errors.code, errors.message.data());
    CallOutcome call = intCall("refreshMPIO", "", result, errors);
    call.failed = result != 0;
    return call;
}

CallOutcome PluginCaller::deleteDevice(const std::string& device) const {
    ErrorOutputs errors;
    int result =
        entry_.deleteMPIODevice(kContext, device.c_str(), &errors.code, errors.message.data());
    CallOutcome call = intCall("deleteMPIODevice", device, result, errors);
    call.failed = result != 0;
    return call;
}

// --- the commands: which entry points each one calls, in which order --------------------------

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
