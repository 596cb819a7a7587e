#include "topology/numbering.h"

#include <algorithm>
#include <ctime>
#include <set>
#include <stdexcept>

#include "topology/device_names.h"

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
    return std::any_of(lu.paths.begin(), lu.paths.end(), hdlmListsPath);
}

bool hdlmListsPath(const Path& p) {
    return p.state == PathState::Managed || p.state == PathState::Gone;
}

bool scsiPresent(const Path& p) {
    return p.state == PathState::Managed || p.state == PathState::AttachedLater;
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
                if (p.pathId < 0 && hdlmListsPath(p)) {
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

}  // namespace sim
