// getMPIODevices on the scripted host: counting, capacity, entry bounds, failures, guards.
#include <climits>

#include "support/plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class MpioDevicesTest : public PluginTest {
protected:
    // Calls getMPIODevices with an array of `slots` entries and capacity `capacity`.
    int list(int capacity, size_t slots = 8) {
        entries = std::make_unique<EntryArray>(slots);
        count = capacity;
        return plugin->getMPIODevices(nullptr, entries->data(), &count, &errorCode,
                                      errorMessage.data());
    }
    std::vector<std::string> filled() {
        std::vector<std::string> texts;
        texts.reserve(count > 0 ? size_t(count) : 0);
        for (int i = 0; i < count; ++i) texts.push_back((*entries)[i].text());
        return texts;
    }

    std::unique_ptr<EntryArray> entries;
    int count = 0;
};

TEST_F(MpioDevicesTest, CountsOnlyDevicesAgainstTheCapacity) {
    struct Case {
        const char* output;  // the listing pipeline's, or dlnkmgr's own when `piped`
        int capacity;
        std::vector<std::string> entries;
        int result;
        bool piped = false;  // the plug-in's own filters run on `output` in a shell
    };
    const Case cases[] = {
        {"sddlmaa\nsddlmab\n", 4, {"/dev/sddlmaa", "/dev/sddlmab"}, 0},
        {"sddlmaa\nsddlmab\n", 2, {"/dev/sddlmaa", "/dev/sddlmab"}, 0},  // both fitted
        {"sddlmaa\nsddlmab\n", 1, {"/dev/sddlmaa"}, 2},
        {"sddlmaa", 1, {"/dev/sddlmaa"}, 0},
        {"", 1, {}, 0},
        {"", 0, {}, 0},  // no device, nothing missing
        {"sddlmaa\n\nsddlmab\n", 4, {"/dev/sddlmaa", "/dev/sddlmab"}, 0},
        {"sddlmaa\n\nsddlmab\n", 2, {"/dev/sddlmaa", "/dev/sddlmab"}, 0},
        {"sddlmaa\n\nsddlmab\n", 1, {"/dev/sddlmaa"}, 2},
        {"\n\n\n", 0, {}, 0},
        {"sddlmaa\nsddlmab\n", 0, {}, 2},
        {"sddlmaa\nsddlmab\n", -3, {}, 2},
        {"", -1, {}, 0},
        {" sddlmaa\t\r\n", 1, {"/dev/ sddlmaa\t\r"}, 0},  // nothing is trimmed
        // Only a line whose second column is an HDLM name lists a device: not a KAPL message
        // naming one, nor a line without its iLU.
        {"iLU    HDevName Device   PathID Status\n"
         "001A00 sddlmaa  /dev/sdc 000000 Online\n"
         "                /dev/sddlm 000003 Online\n"
         "KAPL01039-W The path of sddlmab was placed offline by an operator.\n"
         "001A01 sddlmaaa /dev/sdd 000001 Online\n"
         "       sddlmac  /dev/sde 000002 Online\n"
         "KAPL01001-I The HDLM command completed normally.\n",
         4,
         {"/dev/sddlmaa", "/dev/sddlmaaa"},
         0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "output [" << c.output << "] capacity " << c.capacity);
        if (c.piped)
            host_double::answerThroughShell(cmd::listing_cmd, c.output);
        else
            host_double::answer(cmd::listing_cmd, 0, c.output);
        EXPECT_EQ(list(c.capacity), c.result);
        EXPECT_EQ(filled(), c.entries);
        for (size_t i = c.entries.size(); i < 8; ++i) EXPECT_TRUE((*entries)[i].untouched());
        for (size_t i = 0; i < c.entries.size(); ++i)
            EXPECT_TRUE((*entries)[i].zeroFrom(c.entries[i].size())) << "entry " << i;
        EXPECT_TRUE(entries->guardsIntact());
        EXPECT_EQ(errorCode, kUntouchedCode);
        EXPECT_TRUE(errorMessage.untouched());
    }
    EXPECT_THAT(host_double::logs(), IsEmpty());
}

TEST_F(MpioDevicesTest, RunsExactlyTheListingCommand) {
    host_double::answer(cmd::listing_cmd, 0, "sddlmaa\n");
    list(4);
    ASSERT_THAT(host_double::commands(), ElementsAre(cmd::listing_cmd));
    EXPECT_EQ(host_double::runs()[0].timeoutSeconds, 0);
    EXPECT_FALSE(host_double::runs()[0].mergeStderr);
}

TEST_F(MpioDevicesTest, LongSegmentsAreCutToTheEntry) {
    struct Case {
        size_t segment;
        size_t stored;  // characters of the path kept
    };
    for (const Case& c : {Case{1018, 1023}, Case{1019, 1023}, Case{3000, 1023}, Case{10, 15}}) {
        SCOPED_TRACE(c.segment);
        const std::string segment(c.segment, 'x');
        host_double::answer(cmd::listing_cmd, 0, segment + "\nsddlmab\n");
        EXPECT_EQ(list(2), 0);
        ASSERT_EQ(count, 2);
        EXPECT_EQ((*entries)[0].text(), ("/dev/" + segment).substr(0, c.stored));
        EXPECT_EQ((*entries)[0].at(1023), '\0');
        EXPECT_TRUE((*entries)[0].zeroFrom(c.stored));
        EXPECT_EQ((*entries)[1].text(), "/dev/sddlmab");
        EXPECT_TRUE(entries->guardsIntact());
    }
}

TEST_F(MpioDevicesTest, FailedCommandReportsStatusAndTextOnly) {
    struct Case {
        int status;
        int result;
    };
    for (const Case& c : {Case{1, -1}, Case{2, -2}, Case{-1, -1}, Case{-5, -5}, Case{127, -127},
                          Case{INT_MIN, INT_MIN}, Case{INT_MAX, -INT_MAX}}) {
        SCOPED_TRACE(c.status);
        setVerbose(true);
        host_double::reset();
        host_double::answer(cmd::listing_cmd, c.status, "sddlmaa\n", "dlnkmgr: KAPL01001-E failed");
        EXPECT_EQ(list(4), c.result);
        EXPECT_EQ(count, 4);
        for (size_t i = 0; i < 8; ++i) EXPECT_TRUE((*entries)[i].untouched());
        EXPECT_EQ(errorCode, c.status);
        EXPECT_EQ(errorMessage.text(), "dlnkmgr: KAPL01001-E failed");
        EXPECT_TRUE(errorMessage.zeroFrom(27));
        EXPECT_THAT(host_double::logs(), IsEmpty());
    }
}

TEST_F(MpioDevicesTest, LongErrorTextIsCutAt1023) {
    host_double::answer(cmd::listing_cmd, 3, "", std::string(5000, 'e'));
    EXPECT_EQ(list(4), -3);
    EXPECT_EQ(errorMessage.text(), std::string(1023, 'e'));
    EXPECT_EQ(errorMessage.at(1023), '\0');
    EXPECT_TRUE(errorMessage.guardsIntact());
}

TEST_F(MpioDevicesTest, VerboseWritesCommandThenCount) {
    setVerbose(true);
    host_double::answer(cmd::listing_cmd, 0, "sddlmaa\nsddlmab\n");
    EXPECT_EQ(list(1), 2);
    const auto& lines = host_double::logs();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].label, "HDLM::getMPIODevices");
    EXPECT_EQ(lines[0].level, 0);
    EXPECT_EQ(lines[0].message, "command [" + cmd::listing_cmd + "] output [sddlmaa\nsddlmab\n]");
    EXPECT_EQ(lines[1].label, "HDLM::getMPIODevices");
    EXPECT_EQ(lines[1].level, 0);
    EXPECT_EQ(lines[1].message, "count [1] rc [2].");
}

TEST_F(MpioDevicesTest, MissingErrorOutputsRunNothing) {
    host_double::answer(cmd::listing_cmd, 0, "sddlmaa\n");
    EntryArray array(2);
    count = 2;
    EXPECT_EQ(plugin->getMPIODevices(nullptr, array.data(), &count, nullptr, errorMessage.data()),
              -1);
    EXPECT_EQ(plugin->getMPIODevices(nullptr, array.data(), &count, &errorCode, nullptr), -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(array[0].untouched());
    EXPECT_TRUE(errorMessage.untouched());
    EXPECT_THAT(host_double::commands(), IsEmpty());
}

TEST_F(MpioDevicesTest, NullCountOrArrayIsRefused) {
    host_double::answer(cmd::listing_cmd, 0, "sddlmaa\n");
    EntryArray array(2);
    EXPECT_EQ(
        plugin->getMPIODevices(nullptr, array.data(), nullptr, &errorCode, errorMessage.data()),
        -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "Invalid argument: count is null");

    count = 1;
    errorCode = 0;
    EXPECT_EQ(plugin->getMPIODevices(nullptr, nullptr, &count, &errorCode, errorMessage.data()),
              -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "Invalid argument: mpioDevices is null");
    EXPECT_EQ(count, 1);
    EXPECT_THAT(host_double::commands(), IsEmpty());

    // No room asked for: a null array is fine and the call just counts.
    count = 0;
    errorCode = kUntouchedCode;
    EXPECT_EQ(plugin->getMPIODevices(nullptr, nullptr, &count, &errorCode, errorMessage.data()), 1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(errorCode, kUntouchedCode);
}

}  // namespace
