#include "stress_operations.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <iterator>
#include <string_view>

#include "entry_points.h"
#include "guarded_storage.h"

namespace stress {
namespace {

std::string called(const char* function, const Target& target) {
    return std::string(function) + "(" + target.path + ")";
}

bool isHdlm(const Target& target) {
    return target.kind != TargetKind::Foreign;
}

std::string vendorName(const StressContext& context, const Target&, unsigned) {
    const char* vendor = context.api.getVendorName();
    if (vendor == nullptr || context.vendor != vendor)
        return std::string("getVendorName() = ") + (vendor ? vendor : "null") + "; init gave " +
               context.vendor;
    return {};
}

// A full array gets every device; an array of one gets the first and the true total.
std::string mpioDevices(const StressContext& context, const Target&, unsigned round) {
    const std::vector<std::string>& devices = context.snapshot.devices;
    const int total = static_cast<int>(devices.size());
    const int capacity = round % 2 == 0 ? kCapacity : 1;
    const ListAnswer answer = guarded::Caller(context.api).devices(capacity);
    const int wantResult = total > capacity ? total : 0;
    const std::vector<std::string> want(devices.begin(),
                                        devices.begin() + std::min(total, capacity));
    if (answer.result != wantResult || answer.items != want || !answer.damage.empty())
        return "getMPIODevices(capacity " + std::to_string(capacity) +
               ") = " + describeOutcome(answer) + " " + joined(answer.items) + "; expected " +
               std::to_string(wantResult) + " " + joined(want);
    return {};
}

std::string isMpio(const StressContext& context, const Target& target, unsigned) {
    const Answer answer = guarded::Caller(context.api).isMpio(target.path);
    const int want = isHdlm(target) ? 1 : 0;
    if (answer.result != want || answer.error.codeWritten() || !answer.damage.empty())
        return called("isMPIODevice", target) + " = " + describeOutcome(answer) + "; expected " +
               std::to_string(want);
    return {};
}

// A partition stands for its disk; a device of no HDLM disk gives -6.
std::string underlying(const StressContext& context, const Target& target, unsigned) {
    const ListAnswer answer = guarded::Caller(context.api).underlying(target.path, kCapacity);
    const bool hdlm = isHdlm(target);
    const std::vector<std::string> want =
        hdlm ? context.snapshot.disks[target.disk].underlying : std::vector<std::string>{};
    const int wantResult = hdlm ? 0 : -6;
    if (answer.result != wantResult || answer.items != want || !answer.damage.empty())
        return called("getUnderlyingDevices", target) + " = " + describeOutcome(answer) + " " +
               joined(answer.items) + "; expected " + std::to_string(wantResult) + " " +
               joined(want);
    return {};
}

// Every refresh after the first finds nothing to do: it succeeds and changes no answer.
std::string refresh(const StressContext& context, const Target&, unsigned) {
    const Answer answer = guarded::Caller(context.api).refresh();
    if (answer.result != 0 || answer.error.code != 0 || !answer.error.message.empty() ||
        !answer.damage.empty())
        return "refreshMPIO() = " + describeOutcome(answer) + "; expected 0 with errorCode 0";
    return {};
}

std::string deleteDevice(const StressContext& context, const Target& target, unsigned) {
    const Answer answer = guarded::Caller(context.api).deleteDevice(target.path);
    if (answer.result != 0 || answer.error.codeWritten() || !answer.damage.empty())
        return called("deleteMPIODevice", target) + " = " + describeOutcome(answer) +
               "; expected 0, nothing done";
    return {};
}

std::string isPartition(const StressContext& context, const Target& target, unsigned) {
    const PartitionCheck answer = guarded::Caller(context.api).isPartition(target.path);
    const bool partition = target.kind == TargetKind::Partition;
    const int want = partition ? 1 : 0;
    const bool parentRight =
        !partition || answer.parent == context.snapshot.disks[target.disk].path;
    if (answer.result != want || !parentRight || !answer.damage.empty())
        return called("isPartitionDevice", target) + " = " + describeOutcome(answer) + " parent=[" +
               answer.parent + "]; expected " + std::to_string(want) +
               (partition ? " and " + context.snapshot.disks[target.disk].path : "");
    return {};
}

// A disk gives its records; a partition or another driver's node gives -1.
std::string partitions(const StressContext& context, const Target& target, unsigned) {
    const PartitionsAnswer answer = guarded::Caller(context.api).partitions(target.path, kCapacity);
    const std::string call = called("getPartitionDevices", target);
    if (!answer.damage.empty()) return call + " = " + describeOutcome(answer);
    if (target.kind != TargetKind::Disk) {
        if (answer.result != -1) return call + " = " + describeOutcome(answer) + "; expected -1";
        return {};
    }
    const std::vector<TsPartInfo>& want = context.snapshot.disks[target.disk].partitions;
    if (answer.result != static_cast<int>(want.size()) || answer.count != answer.result)
        return call + " = " + describeOutcome(answer) + " count=" + std::to_string(answer.count) +
               "; expected " + std::to_string(want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const std::string difference = partitionDifference(answer.records[i], want[i]);
        if (!difference.empty()) return call + " record " + std::to_string(i) + ": " + difference;
    }
    return {};
}

std::string findName(const StressContext& context, const Target& target, unsigned) {
    std::string name = "stale text";
    const int found = context.api.FindMpDeviceName(target.path.c_str(), name);
    std::string want;
    if (target.kind == TargetKind::Disk) want = context.snapshot.disks[target.disk].name;
    if (target.kind == TargetKind::Partition)
        want = context.snapshot.disks[target.disk].name + std::to_string(target.partition);
    const int wantFound = isHdlm(target) ? 1 : 0;
    if (found != wantFound || (wantFound == 1 && name != want))
        return called("FindMpDeviceName", target) + " = " + std::to_string(found) + " [" + name +
               "]; expected " + std::to_string(wantFound) + " [" + want + "]";
    return {};
}

std::string inventory(const StressContext& context, const Target&, unsigned) {
    std::map<std::string, std::string> devices;
    const int result = context.api.listMPIODevices(devices);
    if (result != 0 || devices != context.snapshot.inventory)
        return "listMPIODevices = " + std::to_string(result) + " with " +
               std::to_string(devices.size()) + " entries; differs from the " +
               std::to_string(context.snapshot.inventory.size()) + " of the snapshot";
    return {};
}

// The major of an HDLM node is a driver major; that of any other node is not.
std::string driverMajor(const StressContext& context, const Target& target, unsigned) {
    int major = -1;
    if (isHdlm(target)) {
        major = static_cast<int>(context.snapshot.disks[target.disk].major);
    } else {
        struct stat node {};
        if (stat(target.path.c_str(), &node) == 0) major = static_cast<int>(::major(node.st_rdev));
    }
    const bool want = isHdlm(target);
    if (context.api.compareDevMajor(major) != want)
        return "compareDevMajor(" + std::to_string(major) + ") for " + target.path + " = " +
               (want ? "false" : "true");
    return {};
}

// Init runs once before the threads start; every other entry point, and each helper, has its
// operation here.
constexpr Operation kOperations[] = {
    {"getVendorName", vendorName},      {"getMPIODevices", mpioDevices},
    {"isMPIODevice", isMpio},           {"getUnderlyingDevices", underlying},
    {"refreshMPIO", refresh},           {"deleteMPIODevice", deleteDevice},
    {"isPartitionDevice", isPartition}, {"getPartitionDevices", partitions},
    {"FindMpDeviceName", findName},     {"listMPIODevices", inventory},
    {"compareDevMajor", driverMajor},
};

constexpr bool hasOperation(std::string_view name) {
    for (const Operation& operation : kOperations)
        if (name == operation.name) return true;
    return false;
}

constexpr bool everyEntryPointButInitHasOne() {
    for (const char* name : plugin_loader::kEntryPointNames)
        if (std::string_view(name) != "init" && !hasOperation(name)) return false;
    return true;
}
static_assert(everyEntryPointButInitHasOne(), "an entry point of the plug-in has no operation");

}  // namespace

std::vector<Operation> stressOperations() {
    return {std::begin(kOperations), std::end(kOperations)};
}

std::vector<Target> stressTargets(const HostSnapshot& snapshot) {
    std::vector<Target> targets;
    for (size_t d = 0; d < snapshot.disks.size(); ++d) {
        const DiskAnswers& disk = snapshot.disks[d];
        targets.push_back({disk.path, TargetKind::Disk, d, 0});
        for (const TsPartInfo& p : disk.partitions)
            targets.push_back({p.devName, TargetKind::Partition, d, p.partNum});
    }
    targets.push_back({"/dev/null", TargetKind::Foreign, 0, 0});
    if (!snapshot.disks.empty() && !snapshot.disks.front().underlying.empty())
        targets.push_back({snapshot.disks.front().underlying.front(), TargetKind::Foreign, 0, 0});
    targets.push_back({"/dev/sddlm-no-such-device", TargetKind::Foreign, 0, 0});
    return targets;
}

}  // namespace stress
