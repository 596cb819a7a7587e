// The partitions the plug-in reads through the loop devices are the ones util-linux's sfdisk
// reads from the same devices inside the simulated host.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "device_nodes.h"
#include "host_under_test.h"
#include "process_runner.h"

namespace integ {
namespace {

struct SfdiskPartition {
    int number = 0;
    uint64_t start = 0;
    uint64_t sectors = 0;
};

// dos partition types of extended partitions, which the kernel shows as 2 sectors.
bool isExtendedType(const std::string& type) {
    return type == "5" || type == "f" || type == "85";
}

// The table as sfdisk reads it, in the kernel's terms. Empty `label` when there is no table.
std::vector<SfdiskPartition> readWithSfdisk(const std::string& device, std::string& label,
                                            uint64_t& sectorSize) {
    testsupport::ProgramResult r = testsupport::runProgram({"sfdisk", "--json", device});
    label.clear();
    if (r.status != 0) {
        EXPECT_NE(r.err.find("does not contain a recognized partition table"), std::string::npos)
            << r.describe();
        return {};
    }
    nlohmann::json table = nlohmann::json::parse(r.out).at("partitiontable");
    label = table.at("label").get<std::string>();
    sectorSize = table.value("sectorsize", 0u);
    std::vector<SfdiskPartition> parts;
    for (const nlohmann::json& p : table.at("partitions")) {
        std::string node = p.at("node").get<std::string>();
        EXPECT_EQ(node.compare(0, device.size(), device), 0)
            << node << " is not named after " << device;
        SfdiskPartition part;
        part.number = std::stoi(node.substr(device.size()));
        part.start = p.at("start").get<uint64_t>();
        part.sectors = isExtendedType(p.value("type", "")) ? 2 : p.at("size").get<uint64_t>();
        parts.push_back(part);
    }
    return parts;
}

TEST(PartitionTables, PluginAndSfdiskReadTheSameTablesFromTheLoopDevices) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(host.init.text) << "init failed on the simulated host";
    size_t tables = 0;
    size_t withoutNode = 0;
    size_t numberedAbove15 = 0;
    for (const std::string& name : host.model.deviceNames()) {
        const std::string device = devPath(name);
        SCOPED_TRACE(device);
        std::string label;
        uint64_t sectorSize = 0;
        std::vector<SfdiskPartition> expected = readWithSfdisk(device, label, sectorSize);
        EXPECT_EQ(label, host.model.label(name)) << "sfdisk reads the table the topology asked for";
        PartitionsCall call = host.plugin.partitions(device, 16);
        ASSERT_EQ(call.result, int(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            const TsPartInfo& e = call.array[i];
            SCOPED_TRACE("partition " + std::to_string(expected[i].number));
            EXPECT_EQ(e.partNum, unsigned(expected[i].number));
            EXPECT_EQ(e.startSector * e.sectorSize, expected[i].start * sectorSize);
            EXPECT_EQ(e.numSectors * e.sectorSize, expected[i].sectors * sectorSize);
            // The device number is the partition's node's; a partition past the disk's 16
            // minors has none, and its record names no device rather than another disk's.
            const NodeNumbers node = nodeNumbers(e.devName);
            if (!node.exists) ++withoutNode;
            EXPECT_EQ(e.devMajor, node.exists ? node.major : 0u);
            EXPECT_EQ(e.devMinor, node.exists ? node.minor : 0u);
        }
        for (const plugin_calls::PartitionRecord& p : host.model.partitions(name))
            if (p.number > 15) ++numberedAbove15;
        if (!label.empty()) ++tables;
    }
    EXPECT_GT(tables, 0u) << "no LU of this host has a partition table";
    EXPECT_EQ(withoutNode, numberedAbove15) << "exactly the partitions above 15 lack a node";
}

}  // namespace
}  // namespace integ
