// The harness support must be able to fail: a write past a guarded buffer, a wrong or badly
// padded copy, an unexpected logger call are all reported, and the scripted runner and the input
// reader behave as the harnesses rely on.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "EvDebug.h"
#include "TsProcess.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "guarded_storage.h"
#include "hdlm_commands.h"
#include "host_doubles.h"

using hdlm_commands::pinned;

namespace {

size_t failuresReported() {
    return fuzzhost::takeFailures().size();
}

TEST(GuardedStorage, ReportsWritesPastEitherEndOfABuffer) {
    for (int offset : {-1, 1024, 1024 + 31}) {
        guarded::Storage storage;
        storage.entries(3)[1][offset] = 'x';
        EXPECT_NE(storage.damage(), "") << "offset " << offset;
    }
}

TEST(GuardedStorage, ReportsAChangedPointerArrayOrGuardSlot) {
    guarded::Storage storage;
    storage.entries(2)[2] = nullptr;  // one past the last entry: a guard slot
    EXPECT_NE(storage.damage(), "");
}

TEST(GuardedStorage, AcceptsWritesInsideEveryBuffer) {
    guarded::Storage storage;
    char** entries = storage.entries(2);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < MAXMPIOPATHLEN; ++j) entries[i][j] = 'a';
    EXPECT_EQ(storage.damage(), "");
    EXPECT_FALSE(storage.lastEntries()[0].untouched());
}

TEST(CheckPadded, TellsAPaddedCopyFromEveryKindOfWrongOne) {
    struct Case {
        const char* what;
        std::string written;  // bytes before the zero tail
        bool zeroTail;
        std::string expected;
        size_t failures;
    };
    const Case cases[] = {
        {"exact copy", "sdc", true, "sdc", 0},
        {"other text", "sdd", true, "sdc", 1},
        {"no zero tail", "sdc", false, "sdc", 1},
        {"cut to size-1", std::string(15, 'a'), true, std::string(40, 'a'), 0},
        {"ends at a NUL", "ab", true, std::string("ab\0cd", 5), 0},
    };
    for (const Case& c : cases) {
        fuzzhost::takeFailures();
        guarded::Text block("block", 16);
        std::string bytes = c.written;
        bytes.resize(16, c.zeroTail ? '\0' : 'z');
        bytes[15] = '\0';
        std::copy(bytes.begin(), bytes.end(), block.chars());
        fuzzhost::checkPadded(block, c.expected, c.what);
        EXPECT_EQ(failuresReported(), c.failures) << c.what;
    }
}

TEST(FuzzInput, ReadsControlBytesFieldsAndRest) {
    const std::string bytes(
        "\x01\xc6\x0a"
        "abc\0\0tail",
        12);
    fuzzhost::FuzzInput input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(input.byte(), 1);
    EXPECT_EQ(input.status(), INT_MIN);  // 0xc6: the seventh unusual status
    EXPECT_EQ(input.capacity(64), 2);    // 10 % 72 - 8
    EXPECT_EQ(input.field(), "abc");
    EXPECT_EQ(input.field(), "");
    EXPECT_EQ(input.rest(), "tail");
    // Exhausted: zeros and empty text, never a failure.
    EXPECT_EQ(input.byte(), 0);
    EXPECT_EQ(input.status(), 0);
    EXPECT_EQ(input.capacity(64), -8);
    EXPECT_EQ(input.field(), "");
}

TEST(FuzzInput, CapacityNeverExceedsTheArray) {
    for (int b = 0; b < 256; ++b) {
        const uint8_t byte = static_cast<uint8_t>(b);
        fuzzhost::FuzzInput input(&byte, 1);
        EXPECT_LE(input.capacity(5), 5) << "byte " << b;
    }
}

TEST(ScriptedRunner, AnswersByTheFirstMatchingPrefixAndRecords) {
    fuzzhost::takeFailures();
    host_double::resetRunner();
    host_double::answerPrefix("dlnkmgr view -lu", {0, "sddlmaa\n", ""});
    host_double::answerPrefix("dlnkmgr", {3, "", "usage"});
    std::string output = "old";
    std::string error = "old";
    EXPECT_EQ(
        TsProcess::system(pinned("dlnkmgr view -lu | grep x").c_str(), &output, &error, 0, false),
        0);
    EXPECT_EQ(output, "sddlmaa\n");
    EXPECT_EQ(error, "");
    EXPECT_EQ(TsProcess::system(pinned("dlnkmgr add -path -s").c_str(), &output, &error, 0, false),
              3);
    EXPECT_EQ(error, "usage");
    EXPECT_EQ(TsProcess::system(pinned("cat /proc/devices").c_str(), &output, &error, 0, false),
              host_double::kUnscriptedStatus);
    EXPECT_EQ(output, "");
    const std::vector<std::string> expected{"dlnkmgr view -lu | grep x", "dlnkmgr add -path -s",
                                            "cat /proc/devices"};
    EXPECT_EQ(host_double::commands(), expected);
    EXPECT_EQ(failuresReported(), 0u);
}

TEST(ScriptedRunner, ReportsATimeoutMergedStderrOrACommandOutsideThePinnedEnvironment) {
    fuzzhost::takeFailures();
    host_double::resetRunner();
    TsProcess::system(pinned("true").c_str(), nullptr, nullptr, 5, false);
    TsProcess::system(pinned("true").c_str(), nullptr, nullptr, 0, true);
    TsProcess::system("true", nullptr, nullptr, 0, false);  // outside the pinned environment
    EXPECT_EQ(failuresReported(), 3u);
}

TEST(CheckedLogger, RecordsMessagesAndReportsForeignLabelsAndLevels) {
    struct Case {
        const char* label;
        int level;
        size_t failures;
    };
    const Case cases[] = {{"HDLM::init", 0, 0},
                          {"HDLM::init", -1, 0},
                          {"init", 0, 1},
                          {"HDLM::init", 2, 1},
                          {nullptr, 0, 1}};
    for (const Case& c : cases) {
        fuzzhost::takeFailures();
        host_double::resetLogger();
        EvDebug(nullptr).DebugLvl(c.label, c.level, "line [%s] %d", "a\nb", 7);
        EXPECT_EQ(failuresReported(), c.failures) << (c.label ? c.label : "null") << c.level;
    }
    ASSERT_EQ(host_double::logs().size(), 0u);  // the null label is not recorded
    EvDebug(nullptr).DebugLvl("HDLM::init", 0, "line [%s] %d", "a\nb", 7);
    ASSERT_EQ(host_double::logs().size(), 1u);
    EXPECT_EQ(host_double::logs()[0].message, "line [a\nb] 7");
    EXPECT_EQ(host_double::countLogged("line ["), 1u);
}

}  // namespace
