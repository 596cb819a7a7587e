#include "host_model.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "topology/device_names.h"

namespace topology {

using nlohmann::json;

HostModel HostModel::fromJson(const json& topology) {
    if (topology.contains("recording"))
        throw std::runtime_error("a recorded host has no LUs to derive expectations from");
    HostModel model;
    if (topology.contains("dlnkmgr")) {
        const json& d = topology["dlnkmgr"];
        model.goneShowsName_ = d.value("goneDevice", "-") == "name";
        // The plug-in's pipeline takes the 12th field from the end: only the default layout
        // puts Device there, and under any other the plug-in lists no paths at all.
        model.defaultItemLayout_ = d.value("itemTrailingColumns", 11) == 11;
    }
    for (const json& ss : topology.at("storageSystems"))
        for (const json& l : ss.at("lus")) {
            LuState s;
            s.lu.ilu = l.value("ilu", "");
            s.lu.fixedName = l.value("hdev", "");
            if (l.contains("partitionTable")) {
                const json& table = l["partitionTable"];
                s.lu.hasTable = true;
                s.lu.label = table.at("label").get<std::string>();
                for (const json& p : table.at("partitions"))
                    s.lu.partitions.push_back(
                        {p.at("number").get<int>(), p.value("kind", "primary"),
                         p.at("start").get<uint64_t>(), p.at("size").get<uint64_t>()});
            }
            for (const json& p : l.at("paths"))
                s.lu.paths.push_back(
                    {p.at("device").get<std::string>(), p.value("state", "managed")});
            model.lus_.push_back(std::move(s));
        }
    model.nameNewlyVisible();
    return model;
}

// HDLM lists an LU while it has a path it manages, or one that has gone but is not yet deleted.
bool HostModel::visible(const LuState& s) const {
    return std::any_of(s.lu.paths.begin(), s.lu.paths.end(), [](const TopologyPath& p) {
        return p.state == "managed" || p.state == "gone";
    });
}

// An LU that starts to show takes its fixed name, or else the lowest name nobody holds or has
// reserved.
void HostModel::nameNewlyVisible() {
    std::set<std::string> taken;
    for (const LuState& s : lus_) {
        if (!s.lu.fixedName.empty()) taken.insert(s.lu.fixedName);
        if (!s.name.empty()) taken.insert(s.name);
    }
    int next = 0;
    for (LuState& s : lus_) {
        if (!s.name.empty() || !visible(s)) continue;
        if (!s.lu.fixedName.empty()) {
            s.name = s.lu.fixedName;
            continue;
        }
        // The simulator's naming is HDLM's order of names (sddlmaa … sddlmpp, sddlmaaa …).
        while (next < sim::kMaxHdlmDevices && taken.count(sim::hdevName(next))) ++next;
        if (next == sim::kMaxHdlmDevices) throw std::runtime_error("more LUs than HDLM has names");
        s.name = sim::hdevName(next);
        taken.insert(s.name);
    }
}

void HostModel::deleteGonePaths() {
    for (LuState& s : lus_) {
        for (TopologyPath& p : s.lu.paths)
            if (p.state == "gone") p.state = "removed";
        if (!visible(s)) s.name.clear();  // an LU left without paths is removed, its name freed
    }
}

TopologyPath& HostModel::path(const std::string& device) {
    for (LuState& s : lus_)
        for (TopologyPath& p : s.lu.paths)
            if (p.device == device) return p;
    throw std::runtime_error("the topology has no path device " + device);
}

void HostModel::removeDevice(const std::string& device) {
    TopologyPath& p = path(device);
    if (p.state == "managed") p.state = "gone";
    if (p.state == "attachedLater") p.state = "removed";
}

// A gone path shows its device again; one that delete -path dropped is a new device for add.
void HostModel::returnDevice(const std::string& device) {
    TopologyPath& p = path(device);
    if (p.state == "gone") p.state = "managed";
    if (p.state == "removed") p.state = "attachedLater";
}

void HostModel::addAttachedPaths() {
    for (LuState& s : lus_)
        for (TopologyPath& p : s.lu.paths)
            if (p.state == "attachedLater") p.state = "managed";
    nameNewlyVisible();
}

std::vector<std::string> HostModel::deviceNames() const {
    std::vector<std::string> names;
    for (const LuState& s : lus_)
        if (!s.name.empty()) names.push_back(s.name);
    return names;
}

std::vector<std::string> HostModel::devices() const {
    std::vector<std::string> paths;
    for (const std::string& name : deviceNames()) paths.push_back("/dev/" + name);
    return paths;
}

const HostModel::LuState& HostModel::find(const std::string& name) const {
    for (const LuState& s : lus_)
        if (s.name == name) return s;
    throw std::runtime_error("the topology has no LU named " + name);
}

const TopologyLu& HostModel::lu(const std::string& name) const {
    return find(name).lu;
}

std::vector<std::string> HostModel::underlying(const std::string& name) const {
    if (!defaultItemLayout_)
        throw std::runtime_error("the expectations assume 11 columns after Device under -item");
    // `grep sd` keeps a path's line when its Device names an sd device, and the first line of
    // the LU in any case (it carries the HDevName); `$(NF-11)` is the Device column.
    std::vector<std::string> lines;
    for (const TopologyPath& p : find(name).lu.paths) {
        if (p.state != "managed" && p.state != "gone") continue;
        // A gone path's `-` (on the LU's first line) is no device: the plug-in leaves it out.
        if (p.state == "managed" || goneShowsName_) lines.push_back("/dev/" + p.device);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<ExpectedPartition> HostModel::partitions(const std::string& name) const {
    std::vector<ExpectedPartition> parts;
    for (const TopologyPartition& p : find(name).lu.partitions)
        parts.push_back({p.number, p.start, p.kind == "extended" ? 2 : p.size});
    std::sort(
        parts.begin(), parts.end(),
        [](const ExpectedPartition& a, const ExpectedPartition& b) { return a.number < b.number; });
    return parts;
}

std::vector<std::string> HostModel::devicesWhere(bool present) const {
    std::vector<std::string> devices;
    for (const LuState& s : lus_)
        for (const TopologyPath& p : s.lu.paths)
            if ((p.state == "managed" || p.state == "attachedLater") == present)
                devices.push_back(p.device);
    std::sort(devices.begin(), devices.end());
    return devices;
}

std::vector<std::string> HostModel::pathDevices() const {
    return devicesWhere(true);
}

std::vector<std::string> HostModel::goneDevices() const {
    return devicesWhere(false);
}

}  // namespace topology
