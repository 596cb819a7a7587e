// init and getVendorName on the scripted host: guards, the two commands, and the parse of the
// /proc/devices pipeline into the HDLM driver majors.
#include <malloc.h>

#include <climits>

#include "support/plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr const char* kVendor = "Tessarine: HDS HDLM MPIO";

class InitTest : public PluginTest {};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtimes' count (GCC ships no header declaring it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// Heap bytes in use. A sanitizer's allocator takes malloc's place and keeps its own count.
size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

TEST_F(InitTest, VendorNameWorksBeforeInitAndInitReturnsTheSamePointer) {
    EXPECT_STREQ(plugin->getVendorName(), kVendor);
    EXPECT_EQ(plugin->getVendorName(), *plugin->vendorName);
    host_double::answer(cmd::mpioviewinfo_cmd, 0);
    host_double::answer(cmd::admin_majors_cmd, 0, "253\n");
    EXPECT_EQ(plugin->init(nullptr, &errorCode, errorMessage.data()), plugin->getVendorName());
    EXPECT_EQ(errorCode, kUntouchedCode);
    EXPECT_TRUE(errorMessage.untouched());
}

TEST_F(InitTest, NullErrorCodeRunsNothingAndKeepsVerboseFlag) {
    setVerbose(true);
    EXPECT_EQ(plugin->init(nullptr, nullptr, errorMessage.data()), nullptr);
    EXPECT_TRUE(*plugin->bVerboseLogging);
    EXPECT_THAT(host_double::commands(), IsEmpty());
    EXPECT_TRUE(errorMessage.untouched());
}

TEST_F(InitTest, NullErrorMessageSetsMinusOneAndRunsNothing) {
    EXPECT_EQ(plugin->init(nullptr, &errorCode, nullptr), nullptr);
    EXPECT_EQ(errorCode, -1);
    EXPECT_THAT(host_double::commands(), IsEmpty());
}

TEST_F(InitTest, FailedDlnkmgrCheckFailsWithoutTouchingOutputsOrMajors) {
    host_double::answer(cmd::mpioviewinfo_cmd, 1, "", "dlnkmgr: not found");
    host_double::answer(cmd::admin_majors_cmd, 0, "253\n");
    EXPECT_EQ(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
    EXPECT_EQ(errorCode, kUntouchedCode);
    EXPECT_TRUE(errorMessage.untouched());
    EXPECT_THAT(host_double::commands(), ElementsAre(cmd::mpioviewinfo_cmd));
    EXPECT_FALSE(plugin->compareDevMajor(253));
    EXPECT_THAT(host_double::logsContaining("Failed"), IsEmpty());
}

TEST_F(InitTest, RunsBothCommandsThroughTheRunnerWithDefaults) {
    initWithMajors("253\n");
    ASSERT_EQ(host_double::runs().size(), 2u);
    EXPECT_EQ(host_double::runs()[0].command, cmd::mpioviewinfo_cmd);
    EXPECT_EQ(host_double::runs()[1].command, cmd::admin_majors_cmd);
    for (const host_double::RunRecord& run : host_double::runs()) {
        EXPECT_EQ(run.timeoutSeconds, 0);
        EXPECT_FALSE(run.mergeStderr);
        EXPECT_TRUE(run.outputGiven && run.errorGiven);
    }
}

TEST_F(InitTest, MajorsCommandFailingOrSilentFailsInit) {
    struct Case {
        int status;
        const char* output;
    };
    for (const Case& c : {Case{1, "253\n"}, Case{0, ""}, Case{2, ""}}) {
        SCOPED_TRACE(c.status);
        host_double::answer(cmd::mpioviewinfo_cmd, 0);
        host_double::answer(cmd::admin_majors_cmd, c.status, c.output);
        EXPECT_EQ(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
        EXPECT_FALSE(plugin->compareDevMajor(253));
        EXPECT_EQ(errorCode, kUntouchedCode);
    }
}

// Which lines become majors, which are refused (logged at -1) and what is logged for each.
TEST_F(InitTest, ParsesEveryPlainDecimalLineAndRefusesTheRest) {
    struct Case {
        const char* output;
        std::vector<int> majors;
        std::vector<std::string> refused;
    };
    const Case cases[] = {
        {"253\n", {253}, {}},
        {"253\n254\n", {253, 254}, {}},
        {"253", {253}, {}},  // unterminated last line still counts
        {"253\n254", {253, 254}, {}},
        {"abc\n253\n", {253}, {"abc"}},  // not a number: never major 0
        {"\n253\n", {253}, {""}},
        {" 253\n253 \n-5\n+5\n", {}, {" 253", "253 ", "-5", "+5"}},
        {"253\r\n", {}, {"253\r"}},
        {"2147483647\n2147483648\n99999999999\n", {INT_MAX}, {"2147483648", "99999999999"}},
        {"0\n", {0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("output: ") + c.output);
        plugin = loadFreshPlugin();
        ASSERT_NE(plugin, nullptr);
        host_double::reset();
        host_double::answer(cmd::mpioviewinfo_cmd, 0);
        host_double::answer(cmd::admin_majors_cmd, 0, c.output);
        const char* vendor = plugin->init(nullptr, &errorCode, errorMessage.data());
        // Without one usable major the driver can't be recognised: init fails.
        EXPECT_EQ(vendor == nullptr, c.majors.empty());
        for (int major : c.majors) EXPECT_TRUE(plugin->compareDevMajor(major)) << major;
        if (c.majors.empty() || c.majors[0] != 0) {
            EXPECT_FALSE(plugin->compareDevMajor(0));
        }
        EXPECT_FALSE(plugin->compareDevMajor(8));

        std::vector<std::string> admitted, refused;
        for (const host_double::LogRecord& line : host_double::logsWithLabel("HDLM::init")) {
            if (line.level == 0 && line.message.rfind("Admin device major number [", 0) == 0) {
                admitted.push_back(line.message);
            } else if (line.level == -1) {
                refused.push_back(line.message);
            } else if (line.message != "Enabling HDLM MPIO verbose logging") {
                ADD_FAILURE() << "unexpected init line: " << line.message;
            }
        }
        std::vector<std::string> wantAdmitted, wantRefused;
        for (int major : c.majors)
            wantAdmitted.push_back("Admin device major number [" + std::to_string(major) + "]");
        for (const std::string& line : c.refused)
            wantRefused.push_back("Ignoring line [" + line + "] that is not a major number");
        EXPECT_EQ(admitted, wantAdmitted);
        EXPECT_EQ(refused, wantRefused);
    }
}

TEST_F(InitTest, MajorsAccumulateAcrossInitsAndNothingIsRemoved) {
    initWithMajors("253\n");
    initWithMajors("254\n");
    EXPECT_TRUE(plugin->compareDevMajor(253));
    EXPECT_TRUE(plugin->compareDevMajor(254));
    host_double::answer(cmd::mpioviewinfo_cmd, 1);
    EXPECT_EQ(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
    EXPECT_TRUE(plugin->compareDevMajor(253));
}

// A host that calls init per job must not grow the plug-in's memory: a known major is not
// stored again. Measured as heap in use, with this test's own records dropped before each read.
TEST_F(InitTest, RepeatedInitDoesNotGrowTheMajorList) {
    auto scriptAndInit = [&] {
        host_double::reset();
        host_double::answer(cmd::mpioviewinfo_cmd, 0);
        host_double::answer(cmd::admin_majors_cmd, 0, "253\n254\n");
    };
    scriptAndInit();
    ASSERT_NE(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
    scriptAndInit();
    const size_t before = heapInUse();
    if (before == 0) GTEST_SKIP() << "heap statistics unavailable (an allocator without them?)";
    for (int i = 0; i < 5000; ++i) {
        ASSERT_NE(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
        if (i % 500 == 0) scriptAndInit();
    }
    scriptAndInit();
    const size_t after = heapInUse();
    // 10000 duplicate ints would be at least 40000 bytes.
    EXPECT_LT(after, before + 8192) << "heap grew from " << before << " to " << after;
    EXPECT_TRUE(plugin->compareDevMajor(254));
}

}  // namespace
