// A host with as many HDLM devices as HDLM's naming allows (512: sddlmaa … sddlmpap), as
// `hdlm-sim generate --lus 512` builds it: listed completely, and the last names resolve; with 8
// paths each, one SCSI path is named sddlm.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_nodes.h"
#include "host_under_test.h"
#include "topology/device_names.h"

namespace integ {
namespace {

class LargeHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hostUnderTest().init.text);
        ASSERT_EQ(hostUnderTest().model.deviceNames().size(), size_t(sim::kMaxHdlmDevices));
    }
};

TEST_F(LargeHost, NamesRunThroughHdlmsWholeRange) {
    std::vector<std::string> names = hostUnderTest().model.deviceNames();
    for (int i = 0; i < sim::kMaxHdlmDevices; ++i)
        EXPECT_EQ(names[size_t(i)], sim::hdevName(i)) << "LU " << i;
    EXPECT_EQ(names.back(), "sddlmpap");
}

TEST_F(LargeHost, ListingIsCompleteAfterTheHostsRetry) {
    HostUnderTest& host = hostUnderTest();
    const std::vector<std::string> expected = host.model.devices();
    EXPECT_EQ(host.plugin.devices(64).items,
              std::vector<std::string>(expected.begin(), expected.begin() + 64));
    ListCall call = host.plugin.devices(plugin_calls::Capacity{});
    const std::vector<plugin_calls::Attempt>& attempts = call.attempts;
    ASSERT_EQ(attempts.size(), 2u);
    EXPECT_EQ(attempts[0].result, sim::kMaxHdlmDevices)
        << "the first call asks for an array of every device";
    EXPECT_EQ(attempts[0].count, 64);
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(call.count, sim::kMaxHdlmDevices);
    EXPECT_EQ(call.items, expected);
    EXPECT_TRUE(call.entriesTerminated);
}

// The ends of each naming range: the first and last two-letter names, the first and last
// three-letter ones.
TEST_F(LargeHost, LastNamesAreHdlmDevicesWithTheirPathsAndPartitions) {
    HostUnderTest& host = hostUnderTest();
    const std::vector<unsigned> hdlmMajors = blockMajorsOf("sddlmfdrv");
    const std::vector<unsigned> loop = blockMajorsOf("loop");
    bool sawLoopBacked = false, sawUnbacked = false;
    for (const std::string& name : {sim::hdevName(0), sim::hdevName(255), sim::hdevName(256),
                                    sim::hdevName(510), sim::hdevName(511)}) {
        SCOPED_TRACE(name);
        const std::string disk = devPath(name);
        NodeNumbers node = nodeNumbers(disk);
        ASSERT_TRUE(node.exists && node.block);
        EXPECT_NE(std::find(hdlmMajors.begin(), hdlmMajors.end(), node.major), hdlmMajors.end());
        EXPECT_EQ(node.minor % 16, 0u);
        EXPECT_EQ(host.plugin.isMpio(disk).result, 1);

        const std::vector<plugin_calls::PartitionRecord> parts = host.model.partitions(name);
        ASSERT_FALSE(parts.empty()) << "the generated LUs carry partition tables";
        const std::string partition = disk + std::to_string(parts.back().number);
        EXPECT_EQ(host.plugin.isMpio(partition).result, 1);
        PartitionCheck check = host.plugin.isPartition(partition);
        EXPECT_EQ(check.result, 1);
        EXPECT_EQ(check.parent, disk);

        for (const std::string& device : {disk, partition}) {
            ListCall paths = host.plugin.underlying(device, 64);
            EXPECT_EQ(paths.result, 0) << device;
            std::sort(paths.items.begin(), paths.items.end());
            EXPECT_EQ(paths.items, host.model.underlying(name)) << device;
        }

        // Disks past the topology's loop-device budget have nodes of a fake major: their
        // tables can't be read, and enumeration says so with the read's errno.
        PartitionsCall table = host.plugin.partitions(disk, 16);
        if (!loop.empty() && node.major == loop.front()) {
            sawLoopBacked = true;
            ASSERT_EQ(table.result, int(parts.size()));
            for (size_t i = 0; i < parts.size(); ++i) {
                EXPECT_EQ(table.array[i].partNum, unsigned(parts[i].number));
                EXPECT_EQ(table.array[i].startSector, parts[i].start);
                EXPECT_EQ(table.array[i].numSectors, parts[i].sectors);
            }
        } else {
            sawUnbacked = true;
            EXPECT_LT(table.result, -1);
            EXPECT_EQ(table.count, 0);
            EXPECT_EQ(table.error.code, table.result);
            EXPECT_EQ(table.error.message, disk);
        }
    }
    EXPECT_TRUE(sawLoopBacked) << "the first LU should be loop-backed";
    EXPECT_TRUE(sawUnbacked) << "the last LU should be past the loop-device budget";
}

// With 3029 or more SCSI disks the kernel names one path sddlm (sd + dlm), with partitions
// sddlm1…: a SCSI path, never an HDLM device, and never listed (the listing's completeness is
// checked above).
TEST_F(LargeHost, TheScsiPathNamedSddlmIsNoHdlmDevice) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(nodeNumbers("/dev/sddlm").exists) << "this host needs 3029 or more SCSI disks";
    ASSERT_TRUE(nodeNumbers("/dev/sddlm1").exists) << "the paths need a partition";
    for (const std::string device : {"/dev/sddlm", "/dev/sddlm1"}) {
        SCOPED_TRACE(device);
        const Answer answer = host.plugin.isMpio(device);
        EXPECT_EQ(answer.result, 0);
        ListCall paths = host.plugin.underlying(device, 8);
        EXPECT_EQ(paths.result, -6);
        EXPECT_EQ(paths.count, 8);
    }
}

}  // namespace
}  // namespace integ
