// EvDebug line format: fields, escaping, no cut, odd arguments.
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "EvDebug.h"
#include "log_file_reader.h"
#include "temp_dir.h"
#include "test_fixtures.h"

namespace {

using testlog::LogLine;

class LoggerFormat : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string path = dir.path() + "/debug.log";
    testlog::ScopedEnv env{"TS_DEBUG_LOG", path.c_str()};

    // The single line the last calls wrote; fails the test unless there is exactly one.
    LogLine only_line() {
        bool complete = false;
        const auto lines = testlog::read_lines(path, &complete);
        EXPECT_TRUE(complete) << "the line must end with a newline";
        EXPECT_EQ(lines.size(), 1u);
        if (lines.empty()) return {};
        auto parsed = testlog::parse_line(lines[0]);
        EXPECT_TRUE(parsed.has_value()) << "line breaks the format: " << lines[0];
        return parsed.value_or(LogLine{});
    }
};

TEST_F(LoggerFormat, FieldsAreTimePidTidLevelLabelMessage) {
    const time_t before = ::time(nullptr);
    EvDebug(nullptr).DebugLvl("HDLM::init", 0, "Failed to execute command=[%s], error=[%s]",
                              "dlnkmgr view -sys", "not found");
    const time_t after = ::time(nullptr);

    const LogLine line = only_line();
    EXPECT_EQ(line.pid, ::getpid());
    EXPECT_EQ(line.tid, ::gettid());
    EXPECT_EQ(line.level, 0);
    EXPECT_EQ(line.label, "HDLM::init");
    EXPECT_EQ(line.message, "Failed to execute command=[dlnkmgr view -sys], error=[not found]");

    // Local time, to the millisecond.
    tm parsed{};
    ASSERT_NE(::strptime(line.timestamp.c_str(), "%Y-%m-%d %H:%M:%S", &parsed), nullptr);
    parsed.tm_isdst = -1;
    const time_t stamped = ::mktime(&parsed);
    EXPECT_GE(stamped, before - 1);
    EXPECT_LE(stamped, after + 1);
}

TEST_F(LoggerFormat, LevelIsPrintedAsGiven) {
    for (int level : {-1, 0, 3, INT_MIN, INT_MAX}) {
        ::unlink(path.c_str());
        EvDebug(nullptr).DebugLvl("L", level, "m");
        EXPECT_EQ(only_line().level, level);
    }
}

struct EscapeCase {
    const char* name;
    std::string raw;
    std::string logged;
};

class LoggerEscaping : public LoggerFormat, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(LoggerEscaping, OneCallIsAlwaysOneLine) {
    EvDebug(nullptr).DebugLvl("HDLM::t", 0, "%s", GetParam().raw.c_str());
    EXPECT_EQ(only_line().message, GetParam().logged);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoggerEscaping,
    ::testing::Values(EscapeCase{"Plain", "sddlmaa 253-0", "sddlmaa 253-0"},
                      EscapeCase{"Backslash", R"(a\b)", R"(a\\b)"},
                      EscapeCase{"Newline", "one\ntwo\n", R"(one\ntwo\n)"},
                      EscapeCase{"CarriageReturn", "a\r\n", R"(a\r\n)"},
                      EscapeCase{"TabStays", "a\tb", "a\tb"},
                      EscapeCase{"ControlBytes", "\x01\x1b[0m\x1f", R"(\x01\x1B[0m\x1F)"},
                      EscapeCase{"Delete", "a\x7f", R"(a\x7F)"},
                      EscapeCase{"Utf8Stays", "Ger\xc3\xa4t", "Ger\xc3\xa4t"},
                      EscapeCase{"EscapedLookingText", R"(\n)", R"(\\n)"},
                      EscapeCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

TEST_F(LoggerFormat, LongMessageIsNeverCut) {
    std::string big(200000, 'x');
    big[100000] = '\n';
    EvDebug(nullptr).DebugLvl("HDLM::big", 0, "<%s>", big.c_str());
    const std::string message = only_line().message;
    ASSERT_EQ(message.size(), big.size() + 3);  // '<', '>', and the newline written as two bytes
    EXPECT_EQ(message.substr(100000, 4), R"(x\nx)");
    EXPECT_EQ(message.back(), '>');
}

TEST_F(LoggerFormat, MessageExactlyAtInternalBufferSizesIsWhole) {
    for (std::size_t size : {510u, 511u, 512u, 513u, 1023u, 1024u}) {
        ::unlink(path.c_str());
        const std::string text(size, 'y');
        EvDebug(nullptr).DebugLvl("L", 0, "%s", text.c_str());
        EXPECT_EQ(only_line().message, text) << "size " << size;
    }
}

TEST_F(LoggerFormat, NullLabelAndNullFormatDoNotCrash) {
    EvDebug(nullptr).DebugLvl(nullptr, 0, "no label");
    EvDebug(nullptr).DebugLvl("HDLM::f", 0, nullptr);
    const auto lines = testlog::read_lines(path);
    ASSERT_EQ(lines.size(), 2u);
    const auto first = testlog::parse_line(lines[0]);
    const auto second = testlog::parse_line(lines[1]);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->label, "-");
    EXPECT_EQ(first->message, "no label");
    EXPECT_EQ(second->label, "HDLM::f");
    EXPECT_EQ(second->message, "");
}

TEST_F(LoggerFormat, ControlBytesInLabelCannotBreakTheLine) {
    EvDebug(nullptr).DebugLvl("HDLM::\nfake", 0, "m");
    EXPECT_EQ(only_line().label, R"(HDLM::\nfake)");
}

TEST_F(LoggerFormat, NonNullSinkInstanceWritesToTheSameFile) {
    // The host's sink objects are opaque to the stand-in; any instance logs like the default.
    alignas(8) char opaque[64] = {};
    EvDebug(reinterpret_cast<EvDebugFileInstance*>(opaque)).DebugLvl("L", 0, "m");
    EXPECT_EQ(only_line().message, "m");
}

}  // namespace
