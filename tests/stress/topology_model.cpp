#include "topology_model.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace stress {
namespace {

enum class PathState { Managed, AttachedLater, Gone };

struct ModelPath {
    std::string device;
    PathState state = PathState::Managed;
};

struct ModelLu {
    std::string hdev;  // empty until the LU has a path HDLM manages or knows
    std::vector<ModelPath> paths;
    std::vector<ExpectedPartition> partitions;
};

PathState pathStateOf(const nlohmann::json& path) {
    const std::string state = path.value("state", "managed");
    if (state == "attachedLater") return PathState::AttachedLater;
    if (state == "gone") return PathState::Gone;
    return PathState::Managed;
}

bool visible(const ModelLu& lu) {
    return std::any_of(lu.paths.begin(), lu.paths.end(),
                       [](const ModelPath& p) { return p.state != PathState::AttachedLater; });
}

// HDLM's two-letter names in the order it hands them out: sddlmaa, sddlmab, ... sddlmpp.
std::string hdevName(int index) {
    return std::string("sddlm") + char('a' + index / 16) + char('a' + index % 16);
}

// A new device takes the lowest name no other LU holds.
void nameIfUnnamed(std::vector<ModelLu>& lus, ModelLu& lu) {
    if (!lu.hdev.empty()) return;
    std::set<std::string> taken;
    for (const ModelLu& other : lus) taken.insert(other.hdev);
    for (int index = 0; index < 256; ++index) {
        if (taken.count(hdevName(index)) == 0) {
            lu.hdev = hdevName(index);
            return;
        }
    }
    throw std::runtime_error("the stress models two-letter HDLM names only (256 devices)");
}

ExpectedHost hostOf(const std::vector<ModelLu>& lus, bool goneShownByName) {
    ExpectedHost host;
    for (const ModelLu& lu : lus) {
        if (!visible(lu)) continue;
        ExpectedDevice device{lu.hdev, {}, lu.partitions};
        for (const ModelPath& path : lu.paths) {
            const bool listed = path.state == PathState::Managed ||
                                (path.state == PathState::Gone && goneShownByName);
            if (listed) device.paths.insert("/dev/" + path.device);
        }
        host.devices.push_back(std::move(device));
    }
    std::sort(host.devices.begin(), host.devices.end(),
              [](const ExpectedDevice& a, const ExpectedDevice& b) { return a.name < b.name; });
    return host;
}

std::vector<ExpectedPartition> partitionsOf(const nlohmann::json& lu) {
    std::vector<ExpectedPartition> partitions;
    if (!lu.contains("partitionTable")) return partitions;
    for (const nlohmann::json& p : lu.at("partitionTable").at("partitions")) {
        const bool extended = p.value("kind", "primary") == "extended";
        partitions.push_back({p.at("number").get<unsigned>(), p.at("start").get<uint64_t>(),
                              extended ? 2 : p.at("size").get<uint64_t>()});
    }
    std::sort(
        partitions.begin(), partitions.end(),
        [](const ExpectedPartition& a, const ExpectedPartition& b) { return a.number < b.number; });
    return partitions;
}

}  // namespace

ExpectedStates expectedStatesOf(const std::string& topologyJson) {
    const nlohmann::json topology = nlohmann::json::parse(topologyJson);
    if (topology.contains("recording"))
        throw std::runtime_error("a recorded host has no model to check against; use a topology");
    const bool goneShownByName =
        topology.value("dlnkmgr", nlohmann::json::object()).value("goneDevice", "-") == "name";

    std::vector<ModelLu> lus;
    for (const nlohmann::json& system : topology.at("storageSystems"))
        for (const nlohmann::json& lu : system.at("lus")) {
            ModelLu model;
            model.hdev = lu.value("hdev", "");
            for (const nlohmann::json& path : lu.at("paths"))
                model.paths.push_back({path.at("device").get<std::string>(), pathStateOf(path)});
            model.partitions = partitionsOf(lu);
            lus.push_back(std::move(model));
        }
    // LUs HDLM already shows get names in order; a topology's own names are never handed out.
    for (ModelLu& lu : lus)
        if (visible(lu)) nameIfUnnamed(lus, lu);

    ExpectedStates states;
    states.beforeRefresh = hostOf(lus, goneShownByName);

    // delete -path -s: gone paths go, and an LU left without paths goes with its name.
    for (ModelLu& lu : lus)
        lu.paths.erase(
            std::remove_if(lu.paths.begin(), lu.paths.end(),
                           [](const ModelPath& p) { return p.state == PathState::Gone; }),
            lu.paths.end());
    lus.erase(
        std::remove_if(lus.begin(), lus.end(), [](const ModelLu& lu) { return lu.paths.empty(); }),
        lus.end());
    // add -path -s: attached-later paths become managed; a newly shown LU takes the lowest name.
    for (ModelLu& lu : lus) {
        for (ModelPath& path : lu.paths) path.state = PathState::Managed;
        nameIfUnnamed(lus, lu);
    }
    states.afterRefresh = hostOf(lus, goneShownByName);
    return states;
}

}  // namespace stress
