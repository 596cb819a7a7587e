#include "host_view.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <stdexcept>

#include "naming.h"

namespace sim {

std::vector<unsigned> freeMajors(const DevicesTable& real, size_t count) {
    std::set<unsigned> used;
    for (const DeviceLine& d : real.character) used.insert(d.major);
    for (const DeviceLine& d : real.block) used.insert(d.major);
    std::vector<unsigned> out;
    for (unsigned m = 252; m > 0 && out.size() < count; --m)
        if (!used.count(m)) out.push_back(m);
    if (out.size() < count) throw std::runtime_error("no free device majors left on this machine");
    return out;
}

bool luVisible(const LU& lu) {
    return std::any_of(lu.paths.begin(), lu.paths.end(),
                       [](const Path& p) { return p.state != PathState::AttachedLater; });
}

bool scsiPresent(const Path& p) {
    return p.state != PathState::Gone;
}

DevNum fakeDiskNumber(const Runtime& rt, const std::string& hdev) {
    int index = hdevIndex(hdev);
    return {rt.letterMajors.at(size_t(hdevLetter(index))), hdevDiskMinor(index)};
}

void nameAndNumber(Topology& t, LU& lu) {
    if (lu.hdev.empty()) {
        std::set<std::string> taken;
        for (const StorageSystem& ss : t.storageSystems)
            for (const LU& other : ss.lus)
                if (&other != &lu && !other.hdev.empty()) taken.insert(other.hdev);
        for (int i = 0; i < kMaxHdlmDevices && lu.hdev.empty(); ++i)
            if (!taken.count(hdevName(i))) lu.hdev = hdevName(i);
        if (lu.hdev.empty()) throw std::runtime_error("no free HDLM name left (512 at most)");
    }
    if (!lu.loopBacked) lu.disk = fakeDiskNumber(*t.runtime, lu.hdev);
}

void prepareState(Topology& t, const std::string& realPartitions, const std::string& realDevices) {
    Runtime& rt = t.runtime ? *t.runtime : t.runtime.emplace();
    rt.realPartitions = realPartitions;
    rt.realDevices = realDevices;
    std::vector<unsigned> majors = freeMajors(parseDevices(realDevices), 18);
    rt.letterMajors.assign(majors.begin(), majors.begin() + 16);
    if (rt.wakeupTime.empty()) {
        char buf[32];
        time_t now = time(nullptr);
        struct tm tm;
        localtime_r(&now, &tm);
        strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
        rt.wakeupTime = buf;
    }
    // Path IDs: explicit ones stay, the managed paths without one are numbered in order.
    std::set<int> ids;
    for (const StorageSystem& ss : t.storageSystems)
        for (const LU& lu : ss.lus)
            for (const Path& p : lu.paths)
                if (p.pathId >= 0 && !ids.insert(p.pathId).second)
                    throw std::runtime_error("path " + p.device + ": pathId " +
                                             std::to_string(p.pathId) + " used twice");
    int next = 0;
    for (StorageSystem& ss : t.storageSystems)
        for (LU& lu : ss.lus)
            for (Path& p : lu.paths)
                if (p.pathId < 0 && p.state != PathState::AttachedLater) {
                    while (ids.count(next)) ++next;
                    p.pathId = next;
                    ids.insert(next);
                }
    rt.nextPathId = ids.empty() ? 0 : *ids.rbegin() + 1;
    // The machine's own SCSI disks must not be shadowed by simulated paths.
    std::set<std::string> realNames;
    std::set<std::pair<unsigned, unsigned>> realNumbers;
    for (const PartitionsLine& l : parsePartitions(realPartitions)) {
        realNames.insert(l.name);
        realNumbers.insert({l.major, l.minor});
    }
    for (const StorageSystem& ss : t.storageSystems)
        for (const LU& lu : ss.lus)
            for (const Path& p : lu.paths) {
                DevNum d = scsiDevNum(scsiIndex(p.device));
                if (realNames.count(p.device) || realNumbers.count({d.major, d.minor}))
                    throw std::runtime_error(
                        "path device " + p.device + " (" + std::to_string(d.major) + ":" +
                        std::to_string(d.minor) +
                        ") is a real disk of this machine; choose other path device names");
            }
    for (StorageSystem& ss : t.storageSystems)
        for (LU& lu : ss.lus)
            if (luVisible(lu) && !lu.hdev.empty()) nameAndNumber(t, lu);
    for (StorageSystem& ss : t.storageSystems)
        for (LU& lu : ss.lus)
            if (luVisible(lu) && lu.hdev.empty()) nameAndNumber(t, lu);
}

uint64_t partitionKiB(const Partition& p) {
    return p.kind == "extended" ? 1 : p.size / 2;
}

namespace {

struct ScsiDisk {
    int index;
    const LU* lu;
};

std::vector<ScsiDisk> presentScsiDisks(const Topology& t) {
    std::vector<ScsiDisk> disks;
    for (const StorageSystem& ss : t.storageSystems)
        for (const LU& lu : ss.lus)
            for (const Path& p : lu.paths)
                if (scsiPresent(p)) disks.push_back({scsiIndex(p.device), &lu});
    std::sort(disks.begin(), disks.end(),
              [](const ScsiDisk& a, const ScsiDisk& b) { return a.index < b.index; });
    return disks;
}

std::vector<const LU*> visibleLUsByName(const Topology& t) {
    std::vector<const LU*> lus;
    for (const StorageSystem& ss : t.storageSystems)
        for (const LU& lu : ss.lus)
            if (luVisible(lu) && !lu.hdev.empty()) lus.push_back(&lu);
    std::sort(lus.begin(), lus.end(),
              [](const LU* a, const LU* b) { return hdevIndex(a->hdev) < hdevIndex(b->hdev); });
    return lus;
}

// A disk has 16 minors: partitions numbered above 15 (GPT) get no node and no
// /proc/partitions line under this numbering.
bool hasMinor(const Partition& p) {
    return p.number <= 15;
}

}  // namespace

std::vector<PartitionsLine> simulatedPartitions(const Topology& t) {
    std::vector<PartitionsLine> lines;
    for (const ScsiDisk& d : presentScsiDisks(t)) {
        DevNum n = scsiDevNum(d.index);
        std::string name = scsiName(d.index);
        lines.push_back({n.major, n.minor, d.lu->sizeMiB * 1024, name});
        if (d.lu->table)
            for (const Partition& p : d.lu->table->partitions)
                if (hasMinor(p))
                    lines.push_back({n.major, n.minor + unsigned(p.number), partitionKiB(p),
                                     name + std::to_string(p.number)});
    }
    for (const LU* lu : visibleLUsByName(t)) {
        lines.push_back({lu->disk.major, lu->disk.minor, lu->sizeMiB * 1024, lu->hdev});
        if (lu->table)
            for (const Partition& p : lu->table->partitions)
                if (hasMinor(p))
                    lines.push_back({lu->disk.major, lu->disk.minor + unsigned(p.number),
                                     partitionKiB(p), lu->hdev + std::to_string(p.number)});
    }
    return lines;
}

std::string procPartitionsText(const Topology& t) {
    if (t.recording) return t.recording->procPartitions;
    std::vector<PartitionsLine> lines = parsePartitions(t.runtime->realPartitions);
    for (PartitionsLine& l : simulatedPartitions(t)) lines.push_back(std::move(l));
    return renderPartitions(lines);
}

std::string procDevicesText(const Topology& t) {
    if (t.recording) return t.recording->procDevices;
    const Runtime& rt = *t.runtime;
    DevicesTable table = parseDevices(rt.realDevices);
    std::vector<unsigned> extra = freeMajors(table, 18);
    std::set<unsigned> majors;
    for (const LU* lu : visibleLUsByName(t)) majors.insert(lu->disk.major);
    if (majors.empty())
        majors.insert(rt.letterMajors.at(0));  // the driver is loaded, without devices
    for (unsigned m : majors) insertDevice(table.block, {m, "sddlmfdrv"});
    if (t.proc.alertDriver) insertDevice(table.character, {extra[16], "sddlmadrv"});
    if (t.proc.charDeviceSddlmfdrv) insertDevice(table.character, {extra[17], "sddlmfdrv"});
    return renderDevices(table);
}

std::vector<NodeSpec> simulatedNodes(const Topology& t) {
    std::vector<NodeSpec> nodes;
    if (t.recording) {
        for (const RecordedNode& n : t.recording->nodes) nodes.push_back({n.name, n.type, n.dev});
        return nodes;
    }
    for (const ScsiDisk& d : presentScsiDisks(t)) {
        DevNum n = scsiDevNum(d.index);
        std::string name = scsiName(d.index);
        nodes.push_back({name, 'b', n});
        if (d.lu->table)
            for (const Partition& p : d.lu->table->partitions)
                if (hasMinor(p))
                    nodes.push_back({name + std::to_string(p.number),
                                     'b',
                                     {n.major, n.minor + unsigned(p.number)}});
    }
    for (const LU* lu : visibleLUsByName(t)) {
        nodes.push_back({lu->hdev, 'b', lu->disk});
        if (lu->table)
            for (const Partition& p : lu->table->partitions)
                if (hasMinor(p))
                    nodes.push_back({lu->hdev + std::to_string(p.number),
                                     'b',
                                     {lu->disk.major, lu->disk.minor + unsigned(p.number)}});
    }
    return nodes;
}

}  // namespace sim
