// The one plug-in this host process loads, with init called once as the agent calls it, and the
// topology the simulated host was built from (INTEGRATION_TOPOLOGY).
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "host_model.h"
#include "plugin_host.h"

namespace integ {

struct HostUnderTest {
    PluginHost plugin;
    nlohmann::json topology;
    testsupport::HostModel model;  // the host as built; tests that change it work on a copy
    plugin_calls::TextAnswer init;
};

// Loaded on first use; a plug-in that can't be loaded fails the test that asked.
HostUnderTest& hostUnderTest();

// What the calls of the host under test wrote outside their buffers; empty when it was never
// loaded.
std::vector<std::string> damageSeen();

// The fault the topology injects for a dlnkmgr operation (`view -lu`, `add -path -s`, …).
const nlohmann::json& faultFor(const std::string& operation);

std::vector<std::string> sorted(std::vector<std::string> v);
// Both lists' items, once each, sorted.
std::vector<std::string> unionOf(std::vector<std::string> a, const std::vector<std::string>& b);

// Every entry point's answer on this host is what `model` expects: the device list, membership
// (of the names in `allNames`, of each disk's partitions and of the SCSI paths), each disk's
// paths asked by disk and by partition, the partition test and enumeration; and the SCSI
// paths' nodes are there exactly while their disks are.
void expectHostShows(PluginHost& plugin, const testsupport::HostModel& model,
                     const std::vector<std::string>& allNames);

// `dev` with /dev/ in front.
inline std::string devPath(const std::string& name) {
    return "/dev/" + name;
}

}  // namespace integ
