#include "host_model.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "topology/device_names.h"

namespace topology {
namespace {

using sim::PathState;

// HDLM lists a path it manages, or one that has gone but is not yet deleted.
bool listed(const sim::Path& p) {
    return p.state == PathState::Managed || p.state == PathState::Gone;
}

// HDLM lists an LU while it lists one of its paths.
bool visible(const sim::LU& lu) {
    return std::any_of(lu.paths.begin(), lu.paths.end(), listed);
}

}  // namespace

HostModel::HostModel(const sim::Topology& topology)
    : goneShowsName_(!topology.dlnkmgr.goneDeviceAsDash),
      // The plug-in's pipeline takes the 12th field from the end: only the default layout puts
      // Device there, and under any other the plug-in lists no paths at all.
      defaultItemLayout_(topology.dlnkmgr.itemTrailingColumns ==
                         sim::DlnkmgrOptions().itemTrailingColumns) {
    if (topology.recording)
        throw std::runtime_error("a recorded host has no LUs to derive expectations from");
    for (const sim::StorageSystem& ss : topology.storageSystems)
        for (const sim::LU& lu : ss.lus) lus_.push_back({lu, ""});
    nameNewlyVisible();
}

HostModel HostModel::fromJson(const nlohmann::json& topology) {
    return HostModel(sim::parseTopology(topology.dump()));
}

// An LU that starts to show takes its fixed name, or else the lowest name nobody holds or has
// reserved.
void HostModel::nameNewlyVisible() {
    std::set<std::string> taken;
    for (const LuState& s : lus_) {
        if (!s.lu.hdev.empty()) taken.insert(s.lu.hdev);
        if (!s.name.empty()) taken.insert(s.name);
    }
    int next = 0;
    for (LuState& s : lus_) {
        if (!s.name.empty() || !visible(s.lu)) continue;
        if (!s.lu.hdev.empty()) {
            s.name = s.lu.hdev;
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
        for (sim::Path& p : s.lu.paths)
            if (p.state == PathState::Gone) p.state = PathState::Removed;
        if (!visible(s.lu)) s.name.clear();  // an LU left without paths is removed, its name freed
    }
}

sim::Path& HostModel::path(const std::string& device) {
    for (LuState& s : lus_)
        for (sim::Path& p : s.lu.paths)
            if (p.device == device) return p;
    throw std::runtime_error("the topology has no path device " + device);
}

void HostModel::removeDevice(const std::string& device) {
    sim::Path& p = path(device);
    if (p.state == PathState::Managed) p.state = PathState::Gone;
    if (p.state == PathState::AttachedLater) p.state = PathState::Removed;
}

// A gone path shows its device again; one that delete -path dropped is a new device for add.
void HostModel::returnDevice(const std::string& device) {
    sim::Path& p = path(device);
    if (p.state == PathState::Gone) p.state = PathState::Managed;
    if (p.state == PathState::Removed) p.state = PathState::AttachedLater;
}

void HostModel::addAttachedPaths() {
    for (LuState& s : lus_)
        for (sim::Path& p : s.lu.paths)
            if (p.state == PathState::AttachedLater) p.state = PathState::Managed;
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

std::string HostModel::label(const std::string& name) const {
    const sim::LU& lu = find(name).lu;
    return lu.table ? lu.table->label : "";
}

std::vector<std::string> HostModel::underlying(const std::string& name) const {
    if (!defaultItemLayout_)
        throw std::runtime_error("the expectations assume the default columns after Device");
    // `grep sd` keeps a path's line when its Device names an sd device, and the first line of
    // the LU in any case (it carries the HDevName); `$(NF-11)` is the Device column.
    std::vector<std::string> lines;
    for (const sim::Path& p : find(name).lu.paths) {
        // A gone path's `-` (on the LU's first line) is no device: the plug-in leaves it out.
        if (p.state == PathState::Managed || (p.state == PathState::Gone && goneShowsName_))
            lines.push_back("/dev/" + p.device);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<plugin_calls::PartitionRecord> HostModel::partitions(const std::string& name) const {
    std::vector<plugin_calls::PartitionRecord> parts;
    const sim::LU& lu = find(name).lu;
    if (lu.table)
        for (const sim::Partition& p : lu.table->partitions) {
            plugin_calls::PartitionRecord record;
            record.number = static_cast<uint32_t>(p.number);
            record.name = "/dev/" + name + std::to_string(record.number);
            record.start = p.start;
            record.sectors = p.kind == "extended" ? 2 : p.size;
            record.sectorSize = 512;
            parts.push_back(record);
        }
    std::sort(parts.begin(), parts.end(),
              [](const plugin_calls::PartitionRecord& a, const plugin_calls::PartitionRecord& b) {
                  return a.number < b.number;
              });
    return parts;
}

std::vector<std::string> HostModel::devicesWhere(bool present) const {
    std::vector<std::string> devices;
    for (const LuState& s : lus_)
        for (const sim::Path& p : s.lu.paths)
            if ((p.state == PathState::Managed || p.state == PathState::AttachedLater) == present)
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
