#include "dlnkmgr/path_changes.h"

#include <algorithm>
#include <stdexcept>

#include "topology/numbering.h"

namespace sim {
namespace {

bool online(const Path& p) {
    return effectiveStatus(p).compare(0, 6, "Online") == 0;
}

// Another path of `lu` that HDLM lists online and whose disk is there, besides `p`.
bool anotherPathOnline(const LU& lu, const Path& p) {
    return std::any_of(lu.paths.begin(), lu.paths.end(), [&](const Path& other) {
        return &other != &p && other.state == PathState::Managed && online(other);
    });
}

struct Found {
    LU* lu = nullptr;
    Path* path = nullptr;
};

template <typename Match>
Found findPath(Topology& t, Match match) {
    for (StorageSystem& ss : t.storageSystems)
        for (LU& lu : ss.lus)
            for (Path& p : lu.paths)
                if (match(p)) return {&lu, &p};
    return {};
}

Found listedPath(Topology& t, int pathId) {
    return findPath(t, [&](const Path& p) { return hdlmListsPath(p) && p.pathId == pathId; });
}

Found scsiPath(Topology& t, const std::string& device) {
    if (t.recording) throw std::runtime_error("a recorded host is replayed as recorded");
    Found f = findPath(t, [&](const Path& p) { return p.device == device; });
    if (!f.path)
        throw std::runtime_error("'" + device +
                                 "' is no SCSI path device of this simulated host (a path's "
                                 "device as its topology names it: sdc, sdd, ...)");
    return f;
}

std::string describe(const Found& f) {
    return f.lu->hdev.empty() ? "LU " + f.lu->ilu : f.lu->hdev;
}

}  // namespace

StatusChange placeOffline(Topology& t, int pathId) {
    Found f = listedPath(t, pathId);
    if (!f.path) return StatusChange::UnknownPath;
    if (online(*f.path) && !anotherPathOnline(*f.lu, *f.path)) return StatusChange::LastOnlinePath;
    f.path->status = "Offline(C)";
    return StatusChange::Done;
}

StatusChange placeOnline(Topology& t, int pathId) {
    Found f = listedPath(t, pathId);
    if (!f.path) return StatusChange::UnknownPath;
    if (f.path->state == PathState::Gone) return StatusChange::DeviceGone;
    f.path->status = "Online";
    return StatusChange::Done;
}

std::string removeScsiDevice(Topology& t, const std::string& device) {
    Found f = scsiPath(t, device);
    Path& p = *f.path;
    if (!scsiPresent(p)) throw std::runtime_error(device + " has already gone");
    if (p.state == PathState::AttachedLater) {
        p.state = PathState::Removed;
        return device + " has gone before HDLM took it over";
    }
    if (effectiveStatus(p) != "Offline(C)")
        p.status = online(p) && !anotherPathOnline(*f.lu, p) ? "Online(E)" : "Offline(E)";
    p.state = PathState::Gone;
    return device + " has gone: HDLM shows its path of " + describe(f) + " with - and " +
           effectiveStatus(p);
}

std::string returnScsiDevice(Topology& t, const std::string& device) {
    Found f = scsiPath(t, device);
    Path& p = *f.path;
    if (scsiPresent(p)) throw std::runtime_error(device + " is there: it has not gone");
    if (p.state == PathState::Removed) {
        p.state = PathState::AttachedLater;
        return device + " is back as a new device: dlnkmgr add -path takes it over";
    }
    p.state = PathState::Managed;
    if (effectiveStatus(p) != "Offline(C)") p.status.clear();
    return device + " is back: HDLM shows its path of " + describe(f) + " " + effectiveStatus(p);
}

std::vector<std::string> deleteGonePaths(Topology& t) {
    std::vector<std::string> removed;
    for (StorageSystem& ss : t.storageSystems)
        for (LU& lu : ss.lus) {
            for (Path& p : lu.paths)
                if (p.state == PathState::Gone) {
                    removed.push_back(p.device);
                    p.state = PathState::Removed;
                    p.status.clear();
                    p.pathId = -1;
                }
            if (luVisible(lu)) continue;
            if (!lu.loopBacked) lu.disk = {};
            if (std::none_of(lu.paths.begin(), lu.paths.end(), scsiPresent)) lu.hdev.clear();
        }
    return removed;
}

size_t addAttachedPaths(Topology& t) {
    if (!t.runtime) throw std::runtime_error("the state has no runtime part");
    size_t added = 0;
    Runtime& rt = *t.runtime;
    for (StorageSystem& ss : t.storageSystems)
        for (LU& lu : ss.lus) {
            const bool wasVisible = luVisible(lu);
            for (Path& p : lu.paths) {
                if (p.state != PathState::AttachedLater) continue;
                p.state = PathState::Managed;
                p.status.clear();
                p.pathId = rt.nextPathId++;
                ++added;
            }
            if (!wasVisible && luVisible(lu)) nameAndNumber(t, lu);
        }
    return added;
}

}  // namespace sim
