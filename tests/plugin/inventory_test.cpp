// listMPIODevices (the inventory from /proc/partitions) and the parts of FindMpDeviceName that
// need no device node: a failed stat, the path it stats, a regular file.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "support/plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

namespace {

class InventoryTest : public PluginTest {};

TEST_F(InventoryTest, FailedOrSilentCommandLeavesTheMapAndLogsTheFailure) {
    struct Case {
        int status;
        const char* output;
        const char* error;
    };
    for (const Case& c : {Case{1, "253 0 sddlmaa\n", "cat: denied"}, Case{0, "", ""}}) {
        SCOPED_TRACE(c.status);
        host_double::reset();
        host_double::answer(cmd::inventory_cmd, c.status, c.output, c.error);
        std::map<std::string, std::string> devices{{"8-0", "sda"}};
        EXPECT_EQ(plugin->listMPIODevices(devices), -1);
        EXPECT_THAT(devices, ElementsAre(Pair("8-0", "sda")));
        const auto& lines = host_double::logs();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].label, "HDLM::listMPIODvices");
        EXPECT_EQ(lines[0].level, -1);
        EXPECT_EQ(lines[0].message, "Failed to execute command=[" + cmd::inventory_cmd +
                                        "], error=[" + c.error + "]");
    }
}

TEST_F(InventoryTest, StoresThreeTokenLinesAndReportsOthers) {
    host_double::answer(cmd::inventory_cmd, 0,
                        "253 0 sddlmaa\n253 1\n\n253 1 sddlmaa1\n253 2 sddlm aa2\n253 0 sddlmzz\n");
    std::map<std::string, std::string> devices{{"8-0", "sda"}, {"253-1", "old"}};
    EXPECT_EQ(plugin->listMPIODevices(devices), 0);
    EXPECT_THAT(devices, UnorderedElementsAre(Pair("8-0", "sda"), Pair("253-0", "sddlmzz"),
                                              Pair("253-1", "sddlmaa1")));
    const auto& lines = host_double::logs();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, -1);
    EXPECT_EQ(lines[0].label, "HDLM::listMPIODvices");
    EXPECT_EQ(lines[0].message, "Invalid token count [2] for line [253 1]");
    EXPECT_EQ(lines[1].message, "Invalid token count [4] for line [253 2 sddlm aa2]");
}

TEST_F(InventoryTest, VerboseShowsOutputAndEveryInsertion) {
    setVerbose(true);
    host_double::answer(cmd::inventory_cmd, 0, "253 0 sddlmaa\n253 16 sddlmab\n");
    std::map<std::string, std::string> devices;
    EXPECT_EQ(plugin->listMPIODevices(devices), 0);
    std::vector<std::string> messages;
    for (const auto& line : host_double::logs()) {
        EXPECT_EQ(line.level, 0);
        EXPECT_EQ(line.label, "HDLM::listMPIODvices");
        messages.push_back(line.message);
    }
    EXPECT_THAT(messages, ElementsAre("command [" + cmd::inventory_cmd +
                                          "] output [253 0 sddlmaa\n253 16 sddlmab\n]",
                                      "Inserting [253-0:sddlmaa]", "Inserting [253-16:sddlmab]"));
}

// The path that is stat'ed shows in the always-written failure line, so a missing node reveals
// how the name was prepared: HDLM names go under /dev/, others stay as given.
TEST_F(InventoryTest, LookupStatsThePreparedPathAndKeepsTheCallersText) {
    struct Case {
        const char* device;
        const char* path;
    };
    const Case cases[] = {
        {"/dev/sddlmqq", "/dev/sddlmqq"},
        {"sddlmqq", "/dev/sddlmqq"},
        {"sddlmqq\n", "/dev/sddlmqq"},
        {"/nonexistent/disk/sddlmqq", "/dev/sddlmqq"},
        {"/nonexistent/sdq", "/nonexistent/sdq"},
        {"nonexistent-sdq", "nonexistent-sdq"},
        {"/NONEXISTENT/SDDLMQQ", "/NONEXISTENT/SDDLMQQ"},
        {"/nonexistent/a\nb\n", "/nonexistent/a\nb"},
        {"/nonexistent/a\r\n", "/nonexistent/a\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        host_double::reset();
        std::string name = "text from an earlier call";
        EXPECT_EQ(plugin->FindMpDeviceName(c.device, name), 0);
        EXPECT_EQ(name, c.device);
        const auto& lines = host_double::logs();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].label, "HDLM::FindMpDeviceName");
        EXPECT_EQ(lines[0].level, 0);
        EXPECT_EQ(lines[0].message,
                  std::string("Stat on ") + c.path + " failed [2:No such file or directory].");
        EXPECT_THAT(host_double::commands(), IsEmpty());
    }
}

// /proc/partitions lists block devices: a regular file (device number 0:0) or any node that is
// not a block node is no HDLM device, and no inventory is read for it.
TEST_F(InventoryTest, RegularFileIsNoHdlmDeviceWithoutAnInventory) {
    char path[] = "/tmp/hdlm-plugin-test-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    setVerbose(true);
    host_double::answer(cmd::inventory_cmd, 0, "0 0 sddlmaa\n");
    std::string name;
    EXPECT_EQ(plugin->FindMpDeviceName(path, name), 0);
    EXPECT_EQ(name, path);
    EXPECT_THAT(host_double::commands(), IsEmpty());
    ASSERT_FALSE(host_double::logs().empty());
    EXPECT_EQ(host_double::logs().back().message,
              std::string(path) + " is not a block device node.");
    unlink(path);
}

TEST_F(InventoryTest, NullDeviceIsNoHdlmDevice) {
    std::string name = "old";
    EXPECT_EQ(plugin->FindMpDeviceName(nullptr, name), 0);
    EXPECT_EQ(name, "");
    EXPECT_EQ(plugin->isMPIODevice(nullptr, nullptr, &errorCode, errorMessage.data()), -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "Invalid argument: device is null");
    EXPECT_THAT(host_double::commands(), IsEmpty());
}

}  // namespace
