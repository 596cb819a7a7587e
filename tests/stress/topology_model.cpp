#include "topology_model.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "host_model.h"

namespace stress {
namespace {

// The host the shared model shows, in name order.
ExpectedHost hostOf(const topology::HostModel& model) {
    ExpectedHost host;
    for (const std::string& name : model.deviceNames()) {
        ExpectedDevice device{name, {}, {}};
        for (const std::string& line : model.underlying(name)) device.paths.insert(line);
        for (const topology::ExpectedPartition& p : model.partitions(name))
            device.partitions.push_back({static_cast<unsigned>(p.number), p.start, p.sectors});
        host.devices.push_back(std::move(device));
    }
    std::sort(host.devices.begin(), host.devices.end(),
              [](const ExpectedDevice& a, const ExpectedDevice& b) { return a.name < b.name; });
    return host;
}

}  // namespace

ExpectedStates expectedStatesOf(const std::string& topologyJson) {
    topology::HostModel model = topology::HostModel::fromJson(nlohmann::json::parse(topologyJson));
    ExpectedStates states;
    states.beforeRefresh = hostOf(model);
    model.deleteGonePaths();
    model.addAttachedPaths();
    states.afterRefresh = hostOf(model);
    return states;
}

}  // namespace stress
