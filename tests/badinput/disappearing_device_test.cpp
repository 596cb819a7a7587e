// Devices that disappear or change between two calls, or in the middle of one: the node is
// removed after it was listed, replaced by a FIFO or a file, dropped from the inventory, removed
// while the inventory runs, loses its parent disk, or its driver is gone. Real nodes in a private
// mount namespace (root only; skipped otherwise). Every call runs on guarded buffers and must
// leave no child process and no descriptor behind.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "call_frame.h"
#include "census.h"
#include "support/fifo_watchdog.h"
#include "support/plugin_fixture.h"

namespace bad_input {
namespace {

class DisappearingDevice : public DeviceTest {
protected:
    // One call of `entry` on `name` with fresh guarded outputs (capacity 4): checks the guards,
    // that nothing was left behind and that no FIFO open blocked it; returns the result.
    long long call(Entry entry, const std::string& name) {
        const Row r = row(entry);
        frame = std::make_unique<CallFrame>(r);
        const census::Snapshot before;
        long long result = 0;
        {
            FifoWatchdog watchdog(name, 2000);
            result = invoke(*plugin, r, name.c_str(), *frame);
            EXPECT_FALSE(watchdog.stopAndReportBlocked()) << entryName(entry) << " blocked";
        }
        EXPECT_EQ(before.leftBehind(), "") << entryName(entry);
        EXPECT_EQ(frame->damage(), "") << entryName(entry);
        return result;
    }
    // The outputs of a call that must leave them alone.
    void expectOutputsUntouched() {
        EXPECT_EQ(frame->errorCode.get(0), kUntouchedCode);
        EXPECT_TRUE(frame->errorMessage.untouched()) << frame->errorMessage.text();
    }
    void listDisk() {
        host_double::answer(cmd::listing_cmd, 0, "sddlmab\n");
        ASSERT_EQ(call(Entry::getMPIODevices, ""), 0);
        ASSERT_EQ(frame->entryBuffers[0]->text(), "/dev/sddlmab");
    }
    // What every entry point that takes a name says about a node that is no HDLM disk.
    void expectNoLongerAnHdlmDevice(const std::string& path, int statErrno) {
        EXPECT_EQ(call(Entry::isMPIODevice, path), 0);
        expectOutputsUntouched();

        EXPECT_EQ(call(Entry::getUnderlyingDevices, path), -6);
        expectOutputsUntouched();
        for (const std::string& command : host_double::commands())
            EXPECT_EQ(command.find("-hdev"), std::string::npos) << command;

        EXPECT_EQ(call(Entry::isPartitionDevice, path), 0);
        if (statErrno == 0) {
            expectOutputsUntouched();
        } else {
            EXPECT_EQ(frame->errorCode.get(0), statErrno);
            EXPECT_EQ(frame->errorMessage.text(),
                      "Stat " + path + " failed:" + std::to_string(statErrno));
        }

        const size_t readsBefore = host_double::partitionReads().size();
        EXPECT_EQ(call(Entry::getPartitionDevices, path), -1);
        EXPECT_EQ(frame->count.get(0), 0);
        EXPECT_EQ(frame->errorCode.get(0), -1);
        EXPECT_EQ(frame->errorMessage.text(), path);
        EXPECT_TRUE(frame->parts->untouched(0));
        EXPECT_EQ(host_double::partitionReads().size(), readsBefore) << "the table was read";
    }

    std::unique_ptr<CallFrame> frame;
};

TEST_F(DisappearingDevice, NodeRemovedAfterItWasListed) {
    standardHost();
    listDisk();
    ASSERT_EQ(unlink("/dev/sddlmab"), 0);
    expectNoLongerAnHdlmDevice("/dev/sddlmab", ENOENT);
    EXPECT_FALSE(host_double::logsContaining("Stat on /dev/sddlmab failed [2:").empty());
}

TEST_F(DisappearingDevice, NodeReplacedByAFifoOrAFile) {
    standardHost();
    host_double::scriptPartitions(2, {slice{2048, 2048, 0, 0, 1}, slice{4096, 2048, 0, 0, 2}});
    listDisk();
    ASSERT_EQ(unlink("/dev/sddlmab"), 0);
    ASSERT_EQ(mkfifo("/dev/sddlmab", 0600), 0);
    expectNoLongerAnHdlmDevice("/dev/sddlmab", 0);

    ASSERT_EQ(unlink("/dev/sddlmab"), 0);
    std::ofstream("/dev/sddlmab") << "a file now\n";
    expectNoLongerAnHdlmDevice("/dev/sddlmab", 0);
}

TEST_F(DisappearingDevice, DroppedFromTheInventoryWhileTheNodeStays) {
    standardHost();
    listDisk();
    host_double::answer(cmd::inventory_cmd, 0, "253 17 sddlmab1\n");
    EXPECT_EQ(call(Entry::isMPIODevice, "/dev/sddlmab"), 0);
    expectOutputsUntouched();
    EXPECT_EQ(call(Entry::getUnderlyingDevices, "/dev/sddlmab"), -6);
    expectOutputsUntouched();
}

TEST_F(DisappearingDevice, PartitionNodeRemovedWhileTheInventoryRuns) {
    standardHost();
    host_double::onRun(cmd::inventory_cmd, [] { unlink("/dev/sddlmab1"); });
    host_double::answer(cmd::paths_cmd("sddlmab1"), 0, "");  // dlnkmgr no longer knows it
    EXPECT_EQ(call(Entry::getUnderlyingDevices, "/dev/sddlmab1"), 0);
    // Found by its number before it vanished; the partition test then could not stat it, so
    // the device was asked about under its own name, and the report of that stat stays.
    EXPECT_EQ(frame->count.get(0), 0);
    EXPECT_EQ(frame->errorCode.get(0), ENOENT);
    EXPECT_EQ(frame->errorMessage.text(), "Stat /dev/sddlmab1 failed:2");
    EXPECT_TRUE(frame->entryBuffers[0]->untouched());
    EXPECT_EQ(host_double::commands().back(), cmd::paths_cmd("sddlmab1"));
}

TEST_F(DisappearingDevice, ParentDiskRemovedUnderItsPartition) {
    standardHost();
    ASSERT_EQ(unlink("/dev/sddlmab"), 0);
    EXPECT_EQ(call(Entry::isPartitionDevice, "/dev/sddlmab1"), 0);
    EXPECT_EQ(frame->parent.text(), "/dev/sddlmab");
    EXPECT_EQ(frame->errorCode.get(0), ENOENT);
    EXPECT_EQ(frame->errorMessage.text(), "pdev stat failed /dev/sddlmab1(parent:/dev/sddlmab) :2");
    const auto lines = host_double::logsWithLabel("HDLM::isPartitionDevice");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, -1);

    EXPECT_EQ(call(Entry::getPartitionDevices, "/dev/sddlmab1"), -1);
    EXPECT_EQ(frame->errorMessage.text(), "/dev/sddlmab1");
    EXPECT_TRUE(host_double::partitionReads().empty());
}

// A node whose driver is gone: the real partition reader cannot open it, and its error is
// passed on.
TEST_F(DisappearingDevice, DriverGoneUnderAnExistingNode) {
    std::ifstream devices("/proc/devices");
    std::stringstream listing;
    listing << devices.rdbuf();
    if (listing.str().find("\n240 ") != std::string::npos)
        GTEST_SKIP() << "block major 240 is registered on this machine; the case needs a major "
                        "without a driver";
    initWithMajors("240\n");
    node("/dev/sddlmzz", 240, 16);
    host_double::useRealPartitionReader();
    const long long result = call(Entry::getPartitionDevices, "/dev/sddlmzz");
    EXPECT_LT(result, 0);
    EXPECT_TRUE(result == -ENXIO || result == -ENODEV) << result;
    EXPECT_EQ(frame->count.get(0), 0);
    EXPECT_EQ(frame->errorCode.get(0), result);
    EXPECT_EQ(frame->errorMessage.text(), "/dev/sddlmzz");
    EXPECT_TRUE(frame->parts->untouched(0));
}

}  // namespace
}  // namespace bad_input
