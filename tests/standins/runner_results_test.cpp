// TsProcess::system results: exit statuses, signals, texts, and what happens to the strings.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "TsProcess.h"
#include "process_probe.h"

namespace {

struct ResultCase {
    const char* name;
    const char* command;
    int result;
    const char* output;
    const char* error;
};

class RunnerResults : public ::testing::TestWithParam<ResultCase> {};

TEST_P(RunnerResults, StatusOutputAndError) {
    const ResultCase& c = GetParam();
    std::string output = "stale output", error = "stale error";
    EXPECT_EQ(TsProcess::system(c.command, &output, &error, 10, false), c.result);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunnerResults,
    ::testing::Values(
        ResultCase{"Success", "echo hello", 0, "hello\n", ""},
        ResultCase{"SuccessWithStderrKeepsIt", "echo warn >&2", 0, "", "warn\n"},
        ResultCase{"EmptyCommand", "", 0, "", ""},
        ResultCase{"ExitStatus", "exit 3", 3, "", "exited with status 3"},
        ResultCase{"ExitStatus255", "exit 255", 255, "", "exited with status 255"},
        ResultCase{"StderrTextWinsOverSentence", "echo oops >&2; exit 2", 2, "", "oops\n"},
        ResultCase{"OutputOfFailedCommandIsKept", "echo part; exit 1", 1, "part\n",
                   "exited with status 1"},
        ResultCase{"PipelineStatusIsTheLastCommands", "echo x | grep -q y", 1, "",
                   "exited with status 1"},
        ResultCase{"ShellQuotingAndAwk", "printf '253 0 sddlmaa\\n' | awk '{print $1\"-\"$2}'", 0,
                   "253-0\n", ""},
        ResultCase{"KilledBySigkill", "kill -9 $$", 137, "", "killed by signal 9 (SIGKILL)"},
        ResultCase{"KilledBySigterm", "kill -TERM $$", 143, "", "killed by signal 15 (SIGTERM)"},
        ResultCase{"KilledBySegv", "kill -SEGV $$", 139, "", "killed by signal 11 (SIGSEGV)"},
        ResultCase{"UnknownCommand", "/nonexistent/tool", 127, "",
                   "sh: 1: /nonexistent/tool: not found\n"},
        ResultCase{"CommandStartingWithDashIsNotAnOption", "-x", 127, "",
                   "sh: 1: -x: not found\n"}),
    [](const ::testing::TestParamInfo<ResultCase>& info) { return std::string(info.param.name); });

TEST(Runner, BinaryOutputIsKeptByteForByte) {
    std::string output;
    ASSERT_EQ(TsProcess::system("printf 'a\\000b\\377'", &output, nullptr, 10, false), 0);
    EXPECT_EQ(output, std::string("a\0b\xff", 4));
}

TEST(Runner, NullStringsDiscardButStillRun) {
    std::string output;
    EXPECT_EQ(TsProcess::system("echo out; echo err >&2; exit 5", nullptr, nullptr, 10, false), 5);
    EXPECT_EQ(TsProcess::system("echo out; echo err >&2", &output, nullptr, 10, false), 0);
    EXPECT_EQ(output, "out\n");
    std::string error;
    EXPECT_EQ(TsProcess::system("echo out; echo err >&2; exit 4", nullptr, &error, 10, false), 4);
    EXPECT_EQ(error, "err\n");
}

TEST(Runner, MergeStderrSendsBothStreamsToOutput) {
    std::string output = "stale", error = "stale";
    EXPECT_EQ(TsProcess::system("echo one; echo two >&2; echo three", &output, &error, 10, true),
              0);
    EXPECT_EQ(output, "one\ntwo\nthree\n");
    EXPECT_EQ(error, "");
    // A failure with everything merged still says how the command ended.
    EXPECT_EQ(TsProcess::system("echo bad >&2; exit 6", &output, &error, 10, true), 6);
    EXPECT_EQ(output, "bad\n");
    EXPECT_EQ(error, "exited with status 6");
}

TEST(Runner, SameStringsAcrossCallsAreReplacedNotAppended) {
    std::string output, error;
    ASSERT_EQ(TsProcess::system("echo first; echo e1 >&2", &output, &error, 10, false), 0);
    ASSERT_EQ(TsProcess::system("echo second", &output, &error, 10, false), 0);
    EXPECT_EQ(output, "second\n");
    EXPECT_EQ(error, "");
}

TEST(Runner, NullCommandFails) {
    std::string output = "stale", error;
    EXPECT_EQ(TsProcess::system(nullptr, &output, &error, 10, false), -1);
    EXPECT_EQ(output, "");
    EXPECT_EQ(error, "no command given");
}

TEST(Runner, ShellThatCannotStartGivesMinusOneAndTheReason) {
    // A forked child with no descriptor left for the pipes: the shell can't be started there.
    const std::string report = probe::report_from_forked_child([] {
        rlimit limit{3, 3};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        std::string error;
        const int result = TsProcess::system("echo never", nullptr, &error, 10, false);
        return std::to_string(result) + " " + error;
    });
    EXPECT_EQ(report, "-1 could not start /bin/sh: Too many open files");
}

}  // namespace
