#include "host_under_test.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace integ {
namespace {

nlohmann::json readTopology() {
    const char* path = std::getenv("INTEGRATION_TOPOLOGY");
    if (!path || !*path) throw std::runtime_error("INTEGRATION_TOPOLOGY is not set");
    std::ifstream in(path);
    if (!in) throw std::runtime_error(std::string("cannot read the topology ") + path);
    return nlohmann::json::parse(in);
}

}  // namespace

HostUnderTest& hostUnderTest() {
    static std::unique_ptr<HostUnderTest> host;
    if (!host) {
        nlohmann::json topology = readTopology();
        topology::HostModel model = topology::HostModel::fromJson(topology);
        // INTEGRATION_PLUGIN tries another build of the plug-in (the agent's own, a patched one).
        const char* plugin = std::getenv("INTEGRATION_PLUGIN");
        host.reset(new HostUnderTest{PluginHost(plugin && *plugin ? plugin : TSMPIO_PLUGIN),
                                     std::move(topology),
                                     std::move(model),
                                     nullptr,
                                     {}});
        host->initResult = host->plugin.init(host->initError);
    }
    return *host;
}

const nlohmann::json& faultFor(const std::string& operation) {
    const nlohmann::json& topology = hostUnderTest().topology;
    if (!topology.contains("dlnkmgr") || !topology["dlnkmgr"].contains("faults") ||
        !topology["dlnkmgr"]["faults"].contains(operation))
        throw std::runtime_error("this host's topology injects no fault into `dlnkmgr " +
                                 operation + "`");
    return topology["dlnkmgr"]["faults"][operation];
}

}  // namespace integ
