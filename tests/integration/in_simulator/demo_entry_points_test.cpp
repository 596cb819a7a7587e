// Every entry point against the simulated host of a topology (the demo's): what the plug-in
// reports must be what the topology built — LUs, paths, partition tables and device numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "device_nodes.h"
#include "host_under_test.h"

namespace integ {
namespace {

constexpr const char* kVendor = "Tessarine: HDS HDLM MPIO";

class DemoHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host().init.text) << "init failed on the simulated host";
        ASSERT_FALSE(model().deviceNames().empty()) << "the topology gives HDLM no device";
    }
    static HostUnderTest& host() { return hostUnderTest(); }
    static PluginHost& plugin() { return hostUnderTest().plugin; }
    static const testsupport::HostModel& model() { return hostUnderTest().model; }
    static unsigned loopMajor() {
        std::vector<unsigned> loop = blockMajorsOf("loop");
        return loop.empty() ? ~0u : loop.front();
    }
};

TEST_F(DemoHost, InitReturnsTheVendorStringAndWritesNoError) {
    EXPECT_EQ(host().init.text, kVendor);
    EXPECT_STREQ(plugin().vendorName(), kVendor) << "init and getVendorName hand out the same text";
    EXPECT_EQ(plugin().exportedVendorName(), plugin().vendorName());
    EXPECT_TRUE(host().init.error.untouched())
        << host().init.error.code << " " << host().init.error.message;
    // init learnt the loop major, which the simulated /proc/devices names sddlmfdrv.
    std::vector<unsigned> hdlm = blockMajorsOf("sddlmfdrv");
    EXPECT_NE(std::find(hdlm.begin(), hdlm.end(), loopMajor()), hdlm.end());
}

TEST_F(DemoHost, DeviceListIsTheTopologysLusWithPaths) {
    const std::vector<std::string> expected = model().devices();
    const int n = int(expected.size());
    ListCall all = plugin().devices(64);
    EXPECT_EQ(all.result, 0);
    EXPECT_EQ(all.count, n);
    EXPECT_EQ(all.items, expected);
    EXPECT_TRUE(all.entriesTerminated);
    EXPECT_TRUE(all.error.untouched());

    struct Case {
        int capacity, result, count;
    };
    // Too small an array: what fits, and the total so the host can call again.
    for (Case c : {Case{n, 0, n}, Case{1, n, 1}, Case{0, n, 0}, Case{-3, n, 0}}) {
        SCOPED_TRACE("capacity " + std::to_string(c.capacity));
        ListCall call = plugin().devices(c.capacity);
        EXPECT_EQ(call.result, c.result);
        EXPECT_EQ(call.count, c.count);
        EXPECT_EQ(call.items,
                  std::vector<std::string>(expected.begin(), expected.begin() + c.count));
    }
    ListCall retried = plugin().devices(plugin_calls::Capacity{1});
    ASSERT_EQ(retried.attempts.size(), n > 1 ? 2u : 1u);
    EXPECT_EQ(retried.result, 0);
    EXPECT_EQ(retried.items, expected);
}

TEST_F(DemoHost, MembershipCoversHdlmDisksAndTheirPartitionsOnly) {
    struct Case {
        std::string device;
        int answer;
    };
    std::vector<Case> cases;
    for (const std::string& name : model().deviceNames()) {
        cases.push_back({devPath(name), 1});
        cases.push_back({name, 1});  // a bare name means the node under /dev
        for (const plugin_calls::PartitionRecord& p : model().partitions(name))
            cases.push_back({devPath(name) + std::to_string(p.number), 1});
    }
    for (const std::string& scsi : model().pathDevices()) cases.push_back({devPath(scsi), 0});
    cases.push_back({"/dev/null", 0});
    cases.push_back({"/dev/sddlmzz", 0});  // no such node
    for (const Case& c : cases) {
        const Answer answer = plugin().isMpio(c.device);
        EXPECT_EQ(answer.result, c.answer) << c.device;
        EXPECT_TRUE(answer.error.untouched()) << c.device;
    }
}

TEST_F(DemoHost, UnderlyingDevicesAreTheLusPresentPaths) {
    for (const std::string& name : model().deviceNames()) {
        const std::vector<std::string> expected = model().underlying(name);
        std::vector<std::string> asked = {devPath(name)};
        for (const plugin_calls::PartitionRecord& p :
             model().partitions(name))  // a partition stands for its disk
            asked.push_back(devPath(name) + std::to_string(p.number));
        for (const std::string& device : asked) {
            SCOPED_TRACE(device);
            ListCall call = plugin().underlying(device, 64);
            EXPECT_EQ(call.result, 0);
            EXPECT_EQ(call.count, int(expected.size()));
            EXPECT_EQ(sorted(call.items), expected);
            EXPECT_TRUE(call.entriesTerminated);
            EXPECT_TRUE(call.error.untouched()) << call.error.code << " " << call.error.message;
        }
        if (expected.size() > 1) {
            ListCall small = plugin().underlying(devPath(name), 1);
            EXPECT_EQ(small.result, int(expected.size())) << name;
            EXPECT_EQ(small.count, 1) << name;
            ASSERT_EQ(small.items.size(), 1u);
            EXPECT_NE(std::find(expected.begin(), expected.end(), small.items[0]), expected.end());
        }
    }
    for (const std::string& device :
         {devPath(model().pathDevices().front()), std::string("/dev/null")}) {
        ListCall call = plugin().underlying(device, 8);
        EXPECT_EQ(call.result, -6) << device << " is no HDLM device";
        EXPECT_EQ(call.count, 8) << "a refused call leaves *count alone";
        EXPECT_TRUE(call.error.untouched());
    }
}

TEST_F(DemoHost, PartitionsAreTheTopologysTablesOnTheLoopDevices) {
    size_t partitionsSeen = 0;
    for (const std::string& name : model().deviceNames()) {
        SCOPED_TRACE(name);
        const std::vector<plugin_calls::PartitionRecord> expected = model().partitions(name);
        NodeNumbers disk = nodeNumbers(devPath(name));
        ASSERT_TRUE(disk.exists && disk.block);
        ASSERT_EQ(disk.major, loopMajor()) << "every LU of this host is a loop device";
        ASSERT_EQ(disk.minor % 16, 0u);
        LoopBinding diskLoop = loopBinding(disk.major, disk.minor);
        EXPECT_TRUE(diskLoop.bound);
        EXPECT_EQ(diskLoop.offset, 0u);

        PartitionsCall call = plugin().partitions(devPath(name), 16);
        ASSERT_EQ(call.result, int(expected.size()));
        EXPECT_EQ(call.count, int(expected.size()));
        EXPECT_TRUE(call.error.untouched());
        for (size_t i = 0; i < expected.size(); ++i) {
            const TsPartInfo& e = call.array[i];
            const plugin_calls::PartitionRecord& p = expected[i];
            SCOPED_TRACE("partition " + std::to_string(p.number));
            EXPECT_STREQ(e.devName, (devPath(name) + std::to_string(p.number)).c_str());
            EXPECT_EQ(e.partNum, unsigned(p.number));
            EXPECT_EQ(e.startSector, p.start);
            EXPECT_EQ(e.numSectors, p.sectors);
            EXPECT_EQ(e.sectorSize, 512u);
            EXPECT_EQ(e.devMajor, disk.major);
            EXPECT_EQ(e.devMinor, disk.minor + unsigned(p.number));
            // The numbers are those of the partition's node, and the kernel's loop device there
            // covers exactly the partition (an extended one: its first 1 KiB).
            NodeNumbers node = nodeNumbers(e.devName);
            EXPECT_TRUE(node.exists && node.block);
            EXPECT_EQ(node.major, e.devMajor);
            EXPECT_EQ(node.minor, e.devMinor);
            LoopBinding loop = loopBinding(e.devMajor, e.devMinor);
            EXPECT_TRUE(loop.bound);
            EXPECT_EQ(loop.backingFile, diskLoop.backingFile);
            EXPECT_EQ(loop.offset, p.start * 512);
            EXPECT_EQ(loop.sizeLimit, p.sectors * 512);
            ++partitionsSeen;
        }
        for (size_t i = expected.size(); i < call.array.size(); ++i)
            EXPECT_TRUE(plugin_calls::isUntouched(call.array[i])) << "entry " << i << " written";
    }
    EXPECT_GT(partitionsSeen, 0u) << "the topology gives no LU a partition table";
}

TEST_F(DemoHost, ShortPartitionArrayGetsTheFirstEntriesAndTheTotal) {
    const std::vector<std::string> names = model().deviceNames();
    const std::string widest = *std::max_element(
        names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return model().partitions(a).size() < model().partitions(b).size();
        });
    const std::vector<plugin_calls::PartitionRecord> expected = model().partitions(widest);
    ASSERT_GE(expected.size(), 3u) << "needs an LU with three partitions or more";
    PartitionsCall call = plugin().partitions(devPath(widest), 2, 4);
    EXPECT_EQ(call.result, int(expected.size()));
    EXPECT_EQ(call.count, int(expected.size())) << "*count is the total, not the number filled";
    EXPECT_EQ(call.array[0].partNum, unsigned(expected[0].number));
    EXPECT_EQ(call.array[1].partNum, unsigned(expected[1].number));
    EXPECT_TRUE(plugin_calls::isUntouched(call.array[2]));
    EXPECT_TRUE(plugin_calls::isUntouched(call.array[3]));
}

TEST_F(DemoHost, PartitionEnumerationRefusesPartitionsAndOtherDevices) {
    std::vector<std::string> refused = {devPath(model().pathDevices().front()), "/dev/null",
                                        "/dev/sddlmzz"};
    for (const std::string& name : model().deviceNames())
        for (const plugin_calls::PartitionRecord& p : model().partitions(name))
            refused.push_back(devPath(name) + std::to_string(p.number));
    for (const std::string& device : refused) {
        SCOPED_TRACE(device);
        PartitionsCall call = plugin().partitions(device, 4);
        EXPECT_EQ(call.result, -1);
        EXPECT_EQ(call.count, 0);
        EXPECT_EQ(call.error.code, -1);
        EXPECT_EQ(call.error.message, device);
        for (const TsPartInfo& e : call.array) EXPECT_TRUE(plugin_calls::isUntouched(e));
    }
}

TEST_F(DemoHost, PartitionTestNamesTheParentDisk) {
    for (const std::string& name : model().deviceNames()) {
        PartitionCheck disk = plugin().isPartition(devPath(name));
        EXPECT_EQ(disk.result, 0) << name << " is a whole disk";
        EXPECT_EQ(disk.parent, plugin_calls::kUntouchedText);
        EXPECT_TRUE(disk.error.untouched());
        for (const plugin_calls::PartitionRecord& p : model().partitions(name)) {
            std::string device = devPath(name) + std::to_string(p.number);
            PartitionCheck check = plugin().isPartition(device);
            EXPECT_EQ(check.result, 1) << device;
            EXPECT_EQ(check.parent, devPath(name)) << device;
            EXPECT_TRUE(check.error.untouched()) << device;
        }
    }
    // Partitions of a SCSI path device and other nodes are no HDLM partitions; nothing is written.
    for (const std::string& device :
         {devPath(model().pathDevices().front()) + "1", std::string("/dev/null")}) {
        if (!nodeNumbers(device).exists) continue;
        PartitionCheck check = plugin().isPartition(device);
        EXPECT_EQ(check.result, 0) << device;
        EXPECT_EQ(check.parent, plugin_calls::kUntouchedText) << device;
        EXPECT_TRUE(check.error.untouched()) << device;
    }
    PartitionCheck missing = plugin().isPartition("/dev/nosuch");
    EXPECT_EQ(missing.result, 0);
    EXPECT_EQ(missing.error.code, ENOENT);
    EXPECT_EQ(missing.error.message, "Stat /dev/nosuch failed:" + std::to_string(ENOENT));
}

TEST_F(DemoHost, DeleteAcceptsAnyDeviceAndChangesNothing) {
    for (const std::string& device :
         {devPath(model().deviceNames().front()), std::string("/dev/null")}) {
        const Answer answer = plugin().deleteDevice(device);
        EXPECT_EQ(answer.result, 0) << device;
        EXPECT_TRUE(answer.error.untouched());
    }
    EXPECT_EQ(plugin().devices(64).items, model().devices());
}

}  // namespace
}  // namespace integ
