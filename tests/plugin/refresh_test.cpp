// refreshMPIO and deleteMPIODevice on the scripted host.
#include "support/plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class RefreshTest : public PluginTest {
protected:
    int refresh() { return plugin->refreshMPIO(nullptr, &errorCode, errorMessage.data()); }
};

TEST_F(RefreshTest, ReportsTheAdditionAlone) {
    struct Case {
        int deleteStatus;
        int addStatus;
        int result;
        const char* message;
    };
    const Case cases[] = {
        {1, 0, 0, ""},
        {0, 0, 0, ""},
        {0, 3, 3, "add failed"},
        {2, 3, 3, "add failed"},
        {0, -4, -4, "add failed"},  // not negated, unlike the listings
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.deleteStatus << "/" << c.addStatus);
        host_double::reset();
        host_double::answer(cmd::mpiodeletepath_cmd, c.deleteStatus, "deleted\n", "delete failed");
        host_double::answer(cmd::mpioaddpath_cmd, c.addStatus, "added\n",
                            c.addStatus ? "add failed" : "");
        std::snprintf(errorMessage.data(), 1024, "%s", std::string(600, 'o').c_str());
        errorCode = kUntouchedCode;
        EXPECT_EQ(refresh(), c.result);
        EXPECT_EQ(errorCode, c.addStatus);
        EXPECT_EQ(errorMessage.text(), c.message);
        EXPECT_TRUE(errorMessage.zeroFrom(std::string(c.message).size()));
        EXPECT_TRUE(errorMessage.guardsIntact());
        EXPECT_THAT(host_double::commands(),
                    ElementsAre(cmd::mpiodeletepath_cmd, cmd::mpioaddpath_cmd));
        EXPECT_THAT(host_double::logs(), IsEmpty());
    }
}

TEST_F(RefreshTest, VerboseLogsBothCommandsDeletionFirst) {
    setVerbose(true);
    host_double::answer(cmd::mpiodeletepath_cmd, 1, "deleted 2 paths\n", "x");
    host_double::answer(cmd::mpioaddpath_cmd, 0, "added 2 paths\n");
    EXPECT_EQ(refresh(), 0);
    const auto& lines = host_double::logs();
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.label, "HDLM::refreshMPIO");
        EXPECT_EQ(line.level, 0);
    }
    EXPECT_EQ(lines[0].message, "command [dlnkmgr delete -path -s] output [deleted 2 paths\n]");
    EXPECT_EQ(lines[1].message, "command [dlnkmgr add -path -s] output [added 2 paths\n]");
}

TEST_F(RefreshTest, MissingErrorOutputsRunNothing) {
    EXPECT_EQ(plugin->refreshMPIO(nullptr, nullptr, errorMessage.data()), -1);
    EXPECT_EQ(plugin->refreshMPIO(nullptr, &errorCode, nullptr), -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_TRUE(errorMessage.untouched());
    EXPECT_THAT(host_double::commands(), IsEmpty());
}

TEST_F(RefreshTest, DeleteDeviceAcceptsAnythingAndDoesNothing) {
    setVerbose(true);
    EXPECT_EQ(plugin->deleteMPIODevice(nullptr, "/dev/sddlmaa", &errorCode, errorMessage.data()),
              0);
    EXPECT_EQ(plugin->deleteMPIODevice(nullptr, nullptr, &errorCode, errorMessage.data()), 0);
    EXPECT_EQ(errorCode, kUntouchedCode);
    EXPECT_TRUE(errorMessage.untouched());
    EXPECT_EQ(plugin->deleteMPIODevice(nullptr, nullptr, nullptr, errorMessage.data()), -1);
    EXPECT_EQ(plugin->deleteMPIODevice(nullptr, nullptr, &errorCode, nullptr), -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_THAT(host_double::commands(), IsEmpty());
    EXPECT_THAT(host_double::logs(), IsEmpty());
}

}  // namespace
