// The verbose-logging marker file, inside the private namespace where /tmp is a fresh tmpfs, so
// the machine's /tmp is never touched (root only).
#include <fcntl.h>
#include <unistd.h>

#include "support/plugin_fixture.h"

using ::testing::IsEmpty;

namespace {

constexpr const char* kMarker = "/tmp/MPIO_HDLM_VERBOSE_LOGGING";

class VerboseMarkerTest : public DeviceTest {
protected:
    void createMarker() {
        const int fd = open(kMarker, O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    std::vector<host_double::LogRecord> enablingLines() {
        return host_double::logsContaining("Enabling HDLM MPIO verbose logging");
    }
};

TEST_F(VerboseMarkerTest, MarkerTurnsVerboseOnEvenWhenTheCheckFails) {
    createMarker();
    host_double::answer(cmd::mpioviewinfo_cmd, 1);
    EXPECT_EQ(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
    EXPECT_TRUE(*plugin->bVerboseLogging);
    const auto lines = enablingLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].label, "HDLM::init");
    EXPECT_EQ(lines[0].level, 0);
}

TEST_F(VerboseMarkerTest, NoMarkerNoVerboseAndRemovingItTurnsVerboseOff) {
    initWithMajors("253\n");
    EXPECT_FALSE(*plugin->bVerboseLogging);
    EXPECT_THAT(enablingLines(), IsEmpty());

    createMarker();
    initWithMajors("253\n");
    EXPECT_TRUE(*plugin->bVerboseLogging);
    ASSERT_EQ(unlink(kMarker), 0);
    initWithMajors("253\n");
    EXPECT_FALSE(*plugin->bVerboseLogging);
    EXPECT_EQ(enablingLines().size(), 1u);
}

TEST_F(VerboseMarkerTest, GuardFailuresDoNotReadTheMarker) {
    createMarker();
    EXPECT_EQ(plugin->init(nullptr, nullptr, errorMessage.data()), nullptr);
    EXPECT_EQ(plugin->init(nullptr, &errorCode, nullptr), nullptr);
    EXPECT_FALSE(*plugin->bVerboseLogging);
    EXPECT_THAT(host_double::logs(), IsEmpty());
}

// Verbose messages follow the flag that the marker set: one listing call, both ways.
TEST_F(VerboseMarkerTest, MarkerDecidesTheVerboseLinesOfLaterCalls) {
    host_double::answer(cmd::listing_cmd, 0, "sddlmaa\n");
    for (bool marker : {false, true}) {
        SCOPED_TRACE(marker);
        if (marker) createMarker();
        initWithMajors("253\n");
        host_double::reset();
        host_double::answer(cmd::listing_cmd, 0, "sddlmaa\n");
        EntryArray entries(1);
        int count = 1;
        EXPECT_EQ(plugin->getMPIODevices(nullptr, entries.data(), &count, &errorCode,
                                         errorMessage.data()),
                  0);
        EXPECT_EQ(host_double::logsWithLabel("HDLM::getMPIODevices").size(), marker ? 2u : 0u);
    }
}

}  // namespace
