// The host's libraries may throw (std::bad_alloc above all); no exception may unwind through an
// entry point into a C caller. Each entry point must fail cleanly instead.
#include "support/plugin_fixture.h"

namespace {

class ExceptionBarrierTest : public PluginTest {};

TEST_F(ExceptionBarrierTest, ThrowingRunnerBecomesEachEntryPointsFailure) {
    host_double::throwOn(cmd::mpioviewinfo_cmd);
    EXPECT_EQ(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);

    host_double::throwOn(cmd::listing_cmd);
    EntryArray entries(2);
    int count = 2;
    EXPECT_EQ(
        plugin->getMPIODevices(nullptr, entries.data(), &count, &errorCode, errorMessage.data()),
        -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "HDLM::getMPIODevices: internal failure: std::bad_alloc");

    host_double::throwOn(cmd::mpiodeletepath_cmd);
    errorCode = 0;
    EXPECT_EQ(plugin->refreshMPIO(nullptr, &errorCode, errorMessage.data()), -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "HDLM::refreshMPIO: internal failure: std::bad_alloc");
}

TEST_F(ExceptionBarrierTest, ThrowingLoggerBecomesEachEntryPointsFailure) {
    // A missing node is always logged by the lookup, so the logger is reached.
    host_double::throwFromLogger(true);
    EXPECT_EQ(
        plugin->isMPIODevice(nullptr, "/nonexistent/sddlmaa", &errorCode, errorMessage.data()), 0);
    EXPECT_EQ(errorCode, kUntouchedCode);

    EntryArray entries(2);
    int count = 2;
    EXPECT_EQ(plugin->getUnderlyingDevices(nullptr, "/nonexistent/sddlmaa", entries.data(), &count,
                                           &errorCode, errorMessage.data()),
              -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "HDLM::getUnderlyingDevices: internal failure: std::bad_alloc");
    EXPECT_TRUE(entries[0].untouched());

    host_double::answer(cmd::mpioviewinfo_cmd, 0);
    host_double::answer(cmd::admin_majors_cmd, 0, "253\n");
    EXPECT_EQ(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
}

}  // namespace
