#include "host_snapshot.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstring>

#include "guarded_storage.h"

namespace stress {
namespace {

std::string bareName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::vector<std::string> sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

void checkPartitions(const testsupport::PluginExports& api, DiskAnswers& disk,
                     const std::vector<plugin_calls::PartitionRecord>& expected,
                     std::vector<std::string>& problems) {
    const PartitionsAnswer answer = guarded::Caller(api).partitions(disk.path, kCapacity);
    const std::string call = "getPartitionDevices(" + disk.path + ")";
    if (!answer.damage.empty()) problems.push_back(call + " = " + describeOutcome(answer));
    if (answer.result != static_cast<int>(expected.size()) || answer.count != answer.result) {
        problems.push_back(call + " = " + describeOutcome(answer) +
                           " count=" + std::to_string(answer.count) + "; the topology has " +
                           std::to_string(expected.size()) + " partitions");
        return;
    }
    disk.partitions = answer.records;
    for (size_t i = 0; i < expected.size(); ++i) {
        const plugin_calls::PartitionRecord& p = expected[i];
        TsPartInfo want;
        std::snprintf(want.devName, sizeof(want.devName), "%s", p.name.c_str());
        want.partNum = p.number;
        want.startSector = p.start;
        want.numSectors = p.sectors;
        want.sectorSize = p.sectorSize;
        want.devMajor = disk.major;
        want.devMinor = disk.minor + want.partNum;
        const std::string difference = partitionDifference(answer.records[i], want);
        if (!difference.empty())
            problems.push_back(call + " record " + std::to_string(i) + ": " + difference);

        const PartitionCheck check = guarded::Caller(api).isPartition(want.devName);
        if (check.result != 1 || check.parent != disk.path || !check.damage.empty())
            problems.push_back("isPartitionDevice(" + std::string(want.devName) +
                               ") = " + describeOutcome(check) + " parent=[" + check.parent +
                               "]; expected 1 and " + disk.path);
    }
}

}  // namespace

std::string describeOutcome(const Answer& answer) {
    std::string text = std::to_string(answer.result);
    if (answer.error.codeWritten()) text += " errorCode=" + std::to_string(answer.error.code);
    if (answer.error.messageWritten()) text += " errorMessage=[" + answer.error.message + "]";
    if (!answer.damage.empty()) text += " (wrote outside a caller buffer: " + answer.damage + ")";
    return text;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
    return "[" + text + "]";
}

std::string partitionDifference(const TsPartInfo& got, const TsPartInfo& expected) {
    std::string difference;
    auto compare = [&](const char* field, const std::string& a, const std::string& b) {
        if (a != b) difference += std::string(field) + " " + a + " (expected " + b + ") ";
    };
    compare("devName", std::string(got.devName, strnlen(got.devName, sizeof(got.devName))),
            expected.devName);
    compare("partNum", std::to_string(got.partNum), std::to_string(expected.partNum));
    compare("startSector", std::to_string(got.startSector), std::to_string(expected.startSector));
    compare("numSectors", std::to_string(got.numSectors), std::to_string(expected.numSectors));
    compare("sectorSize", std::to_string(got.sectorSize), std::to_string(expected.sectorSize));
    compare("devMajor", std::to_string(got.devMajor), std::to_string(expected.devMajor));
    compare("devMinor", std::to_string(got.devMinor), std::to_string(expected.devMinor));
    return difference;
}

HostSnapshot takeSnapshot(const testsupport::PluginExports& api,
                          const testsupport::HostModel& model, std::vector<std::string>& problems) {
    HostSnapshot snapshot;
    const ListAnswer devices = guarded::Caller(api).devices(kCapacity);
    const std::vector<std::string> expectedNames = sorted(model.devices());
    if (devices.result != 0 || sorted(devices.items) != expectedNames || !devices.damage.empty()) {
        problems.push_back("getMPIODevices = " + describeOutcome(devices) + " " +
                           joined(devices.items) + "; the topology has " + joined(expectedNames));
        return snapshot;
    }
    snapshot.devices = devices.items;

    for (const std::string& path : snapshot.devices) {
        DiskAnswers disk;
        disk.path = path;
        disk.name = bareName(path);
        struct stat node {};
        if (stat(path.c_str(), &node) != 0 || !S_ISBLK(node.st_mode)) {
            problems.push_back(path + " is listed but is no block device node");
            continue;
        }
        disk.major = major(node.st_rdev);
        disk.minor = minor(node.st_rdev);

        const ListAnswer paths = guarded::Caller(api).underlying(path, kCapacity);
        const std::vector<std::string> expected = model.underlying(disk.name);
        if (paths.result != 0 || sorted(paths.items) != expected || !paths.damage.empty())
            problems.push_back("getUnderlyingDevices(" + path + ") = " + describeOutcome(paths) +
                               " " + joined(paths.items) + "; the topology has " +
                               joined(expected));
        disk.underlying = paths.items;
        checkPartitions(api, disk, model.partitions(disk.name), problems);
        snapshot.disks.push_back(std::move(disk));
    }

    // The inventory: each disk and partition node under its major-minor, nothing else.
    std::map<std::string, std::string> expectedInventory;
    for (const DiskAnswers& disk : snapshot.disks) {
        expectedInventory[std::to_string(disk.major) + "-" + std::to_string(disk.minor)] =
            disk.name;
        for (const TsPartInfo& p : disk.partitions)
            expectedInventory[std::to_string(p.devMajor) + "-" + std::to_string(p.devMinor)] =
                disk.name + std::to_string(p.partNum);
    }
    const int listed = api.listMPIODevices(snapshot.inventory);
    if (listed != 0 || snapshot.inventory != expectedInventory) {
        std::string got;
        for (const auto& [key, name] : snapshot.inventory) got += key + "=" + name + " ";
        problems.push_back("listMPIODevices = " + std::to_string(listed) + " [" + got +
                           "] does not hold exactly the disks and partitions");
    }
    return snapshot;
}

}  // namespace stress
