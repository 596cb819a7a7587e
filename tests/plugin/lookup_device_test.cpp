// FindMpDeviceName and isMPIODevice on real device nodes (private /dev; root only).
#include <sys/stat.h>
#include <unistd.h>

#include "support/plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class LookupDeviceTest : public DeviceTest {};

TEST_F(LookupDeviceTest, ResolvesByDeviceNumber) {
    standardHost();
    ASSERT_EQ(mkdir("/dev/mapper", 0755), 0);
    ASSERT_EQ(symlink("/dev/sddlmab", "/dev/mapper/mpath-a"), 0);
    ASSERT_EQ(symlink("/dev/sddlmab", "/dev/mapper/sddlm-link"), 0);
    node("/dev/bsg-sddlmab", 253, 16, S_IFCHR);  // a character node with the disk's numbers
    struct Case {
        const char* device;
        int result;
        const char* name;
    };
    const Case cases[] = {
        {"/dev/sddlmab", 1, "sddlmab"},
        {"sddlmab", 1, "sddlmab"},
        {"sddlmab\n", 1, "sddlmab"},
        {"/some/dir/sddlmab", 1, "sddlmab"},  // HDLM names are looked up under /dev/
        {"/dev/sddlmab1", 1, "sddlmab1"},
        {"/dev/sdc", 0, "/dev/sdc"},
        {"/dev/mapper/mpath-a", 1, "sddlmab"},                    // a link is followed by stat
        {"/dev/mapper/sddlm-link", 0, "/dev/mapper/sddlm-link"},  // rewritten to /dev/sddlm-link
        {"/dev/bsg-sddlmab", 0, "/dev/bsg-sddlmab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        std::string name = "previous";
        EXPECT_EQ(plugin->FindMpDeviceName(c.device, name), c.result);
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(plugin->isMPIODevice(nullptr, c.device, &errorCode, errorMessage.data()),
                  c.result);
        EXPECT_EQ(errorCode, kUntouchedCode);
        EXPECT_TRUE(errorMessage.untouched());
    }
}

TEST_F(LookupDeviceTest, VerboseLinesNameTheKey) {
    standardHost();
    setVerbose(true);
    std::string name;
    host_double::reset();
    host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlmab\n");
    EXPECT_EQ(plugin->FindMpDeviceName("/dev/sdc", name), 0);
    auto lines = host_double::logsWithLabel("HDLM::FindMpDeviceName");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].message, "Finding key [8-32] for device [/dev/sdc] in list of MPIO devices");
    EXPECT_EQ(lines[1].message, "Not found key [8-32]");

    host_double::reset();
    host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlmab\n");
    EXPECT_EQ(plugin->FindMpDeviceName("sddlmab", name), 1);
    lines = host_double::logsWithLabel("HDLM::FindMpDeviceName");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].message,
              "Finding key [253-16] for device [/dev/sddlmab] in list of MPIO devices");
    EXPECT_EQ(lines[1].message, "Found key [253-16] MPIO Device [sddlmab]");
    EXPECT_EQ(lines[1].level, 0);
}

TEST_F(LookupDeviceTest, UnreadableInventoryIsANoWithoutALineOfItsOwn) {
    standardHost();
    host_double::reset();
    host_double::answer(cmd::inventory_cmd, 0, "");
    std::string name;
    EXPECT_EQ(plugin->FindMpDeviceName("/dev/sddlmab", name), 0);
    EXPECT_EQ(name, "/dev/sddlmab");
    EXPECT_THAT(host_double::logsWithLabel("HDLM::FindMpDeviceName"), IsEmpty());
    EXPECT_EQ(host_double::logsWithLabel("HDLM::listMPIODvices").size(), 1u);
    EXPECT_THAT(host_double::commands(), ElementsAre(cmd::inventory_cmd));
}

TEST_F(LookupDeviceTest, MembershipGuardsComeFirst) {
    standardHost();
    host_double::reset();
    EXPECT_EQ(plugin->isMPIODevice(nullptr, "/dev/sddlmab", nullptr, errorMessage.data()), -1);
    EXPECT_EQ(plugin->isMPIODevice(nullptr, "/dev/sddlmab", &errorCode, nullptr), -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_THAT(host_double::commands(), IsEmpty());
}

}  // namespace
