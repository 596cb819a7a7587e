#include "host_model.h"

#include <algorithm>
#include <stdexcept>

#include "dlnkmgr/path_changes.h"
#include "topology/numbering.h"

namespace testsupport {

HostModel::HostModel(const sim::Topology& topology)
    : host_(topology),
      goneShowsName_(!topology.dlnkmgr.goneDeviceAsDash),
      // The plug-in's pipeline takes the 12th field from the end: only the default layout puts
      // Device there, and under any other the plug-in lists no paths at all.
      defaultItemLayout_(topology.dlnkmgr.itemTrailingColumns ==
                         sim::DlnkmgrOptions().itemTrailingColumns) {
    if (topology.recording)
        throw std::runtime_error("a recorded host has no LUs to derive expectations from");
    // Names and PathIDs as the simulator gives them at start; no machine's devices to avoid.
    sim::prepareState(host_, "", "");
}

HostModel HostModel::fromJson(const nlohmann::json& topology) {
    return HostModel(sim::parseTopology(topology.dump()));
}

void HostModel::deleteGonePaths() {
    sim::deleteGonePaths(host_);
}

void HostModel::addAttachedPaths() {
    sim::addAttachedPaths(host_);
}

void HostModel::removeDevice(const std::string& device) {
    sim::removeScsiDevice(host_, device);
}

void HostModel::returnDevice(const std::string& device) {
    sim::returnScsiDevice(host_, device);
}

std::vector<std::string> HostModel::deviceNames() const {
    std::vector<std::string> names;
    for (const sim::StorageSystem& ss : host_.storageSystems)
        for (const sim::LU& lu : ss.lus)
            if (sim::luVisible(lu)) names.push_back(lu.hdev);
    return names;
}

std::vector<std::string> HostModel::devices() const {
    std::vector<std::string> paths;
    for (const std::string& name : deviceNames()) paths.push_back("/dev/" + name);
    return paths;
}

const sim::LU& HostModel::find(const std::string& name) const {
    for (const sim::StorageSystem& ss : host_.storageSystems)
        for (const sim::LU& lu : ss.lus)
            if (sim::luVisible(lu) && lu.hdev == name) return lu;
    throw std::runtime_error("the topology has no LU named " + name);
}

std::string HostModel::label(const std::string& name) const {
    const sim::LU& lu = find(name);
    return lu.table ? lu.table->label : "";
}

std::vector<std::string> HostModel::underlying(const std::string& name) const {
    if (!defaultItemLayout_)
        throw std::runtime_error("the expectations assume the default columns after Device");
    // `grep sd` keeps a path's line when its Device names an sd device, and the first line of
    // the LU in any case (it carries the HDevName); `$(NF-11)` is the Device column.
    std::vector<std::string> lines;
    for (const sim::Path& p : find(name).paths) {
        if (!sim::hdlmListsPath(p)) continue;
        // A gone path's `-` (on the LU's first line) is no device: the plug-in leaves it out.
        if (p.state == sim::PathState::Gone && !goneShowsName_) continue;
        lines.push_back("/dev/" + p.device);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<plugin_calls::PartitionRecord> HostModel::partitions(const std::string& name) const {
    std::vector<plugin_calls::PartitionRecord> parts;
    const sim::LU& lu = find(name);
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
    for (const sim::StorageSystem& ss : host_.storageSystems)
        for (const sim::LU& lu : ss.lus)
            for (const sim::Path& p : lu.paths)
                if (sim::scsiPresent(p) == present) devices.push_back(p.device);
    std::sort(devices.begin(), devices.end());
    return devices;
}

std::vector<std::string> HostModel::pathDevices() const {
    return devicesWhere(true);
}

std::vector<std::string> HostModel::goneDevices() const {
    return devicesWhere(false);
}

}  // namespace testsupport
