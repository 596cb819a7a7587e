#include "host_under_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "device_nodes.h"

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

namespace {
std::unique_ptr<HostUnderTest> host;
}  // namespace

std::vector<std::string> damageSeen() {
    return host ? host->plugin.buffers().damageSeen() : std::vector<std::string>{};
}

HostUnderTest& hostUnderTest() {
    if (!host) {
        nlohmann::json topology = readTopology();
        testsupport::HostModel model = testsupport::HostModel::fromJson(topology);
        // INTEGRATION_PLUGIN tries another build of the plug-in (the agent's own, a patched one).
        const char* plugin = std::getenv("INTEGRATION_PLUGIN");
        host.reset(new HostUnderTest{PluginHost(plugin && *plugin ? plugin : TSMPIO_PLUGIN),
                                     std::move(topology),
                                     std::move(model),
                                     {}});
        host->init = host->plugin.init();
    }
    return *host;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<std::string> unionOf(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    std::sort(a.begin(), a.end());
    a.erase(std::unique(a.begin(), a.end()), a.end());
    return a;
}

void expectHostShows(PluginHost& plugin, const testsupport::HostModel& model,
                     const std::vector<std::string>& allNames) {
    ListCall devices = plugin.devices(64);
    EXPECT_EQ(devices.result, 0);
    EXPECT_EQ(devices.items, model.devices());
    const std::vector<std::string> listed = model.deviceNames();
    for (const std::string& name : allNames) {
        bool isListed = std::find(listed.begin(), listed.end(), name) != listed.end();
        EXPECT_EQ(plugin.isMpio(devPath(name)).result, isListed ? 1 : 0) << name;
    }
    for (const std::string& name : listed) {
        SCOPED_TRACE(name);
        const std::string disk = devPath(name);
        const std::vector<std::string> paths = model.underlying(name);
        const std::vector<plugin_calls::PartitionRecord> partitions = model.partitions(name);
        std::vector<std::string> asked = {disk};  // a partition stands for its disk
        for (const plugin_calls::PartitionRecord& p : partitions)
            asked.push_back(disk + std::to_string(p.number));
        for (const std::string& device : asked) {
            ListCall call = plugin.underlying(device, 64);
            EXPECT_EQ(call.result, 0) << device << ": " << call.error.message;
            EXPECT_EQ(call.count, int(paths.size())) << device;
            EXPECT_EQ(sorted(call.items), paths) << device;
            PartitionCheck check = plugin.isPartition(device);
            EXPECT_EQ(check.result, device == disk ? 0 : 1) << device;
            if (device != disk) {
                EXPECT_EQ(check.parent, disk);
                const Answer answer = plugin.isMpio(device);
                EXPECT_EQ(answer.result, 1) << device;
            }
        }
        PartitionsCall table = plugin.partitions(disk, 16);
        EXPECT_EQ(table.result, int(partitions.size()));
        for (size_t i = 0; i < partitions.size() && i < table.array.size(); ++i) {
            EXPECT_EQ(table.array[i].partNum, unsigned(partitions[i].number));
            EXPECT_EQ(table.array[i].startSector, partitions[i].start);
            EXPECT_EQ(table.array[i].numSectors, partitions[i].sectors);
        }
    }
    for (const std::string& scsi : model.pathDevices()) {
        EXPECT_TRUE(nodeNumbers(devPath(scsi)).exists) << scsi;
        const Answer answer = plugin.isMpio(devPath(scsi));
        EXPECT_EQ(answer.result, 0) << scsi;
    }
    for (const std::string& scsi : model.goneDevices())
        EXPECT_FALSE(nodeNumbers(devPath(scsi)).exists) << scsi << " has gone";
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
