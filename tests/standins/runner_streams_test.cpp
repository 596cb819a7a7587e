// TsProcess::system streams: large output on both pipes, the 64 MiB limit, stdin, threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "TsProcess.h"
#include "process_probe.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

TEST(RunnerStreams, EightMebibytesOnStdoutAndStderrAtOnceDoNotDeadlock) {
    std::string output, error;
    const int result = TsProcess::system(
        "head -c 8M /dev/zero | tr '\\0' o & head -c 8M /dev/zero | tr '\\0' e >&2; wait", &output,
        &error, 30, false);
    ASSERT_EQ(result, 0) << error.substr(0, 200);
    ASSERT_EQ(output.size(), 8 * kMiB);
    ASSERT_EQ(error.size(), 8 * kMiB);
    EXPECT_EQ(std::count(output.begin(), output.end(), 'o'), static_cast<long>(8 * kMiB));
    EXPECT_EQ(std::count(error.begin(), error.end(), 'e'), static_cast<long>(8 * kMiB));
}

struct OverflowCase {
    const char* name;
    const char* command;
    bool stdout_overflows;
    const char* stream_named;
};

class RunnerOverflow : public ::testing::TestWithParam<OverflowCase> {};

TEST_P(RunnerOverflow, PastSixtyFourMebibytesKillsTheGroupAndFails) {
    const OverflowCase& c = GetParam();
    std::string output, error;
    probe::Stopwatch clock;
    EXPECT_EQ(TsProcess::system(c.command, &output, &error, 30, false), -1);
    EXPECT_LT(clock.seconds(), 10.0);
    // What fitted is kept, the excess is not.
    EXPECT_EQ((c.stdout_overflows ? output : error).size() >= 64 * kMiB, true);
    EXPECT_LE(output.size(), 64 * kMiB);
    const std::string headline = error.substr(0, error.find('\n'));
    EXPECT_EQ(headline, std::string("output on ") + c.stream_named +
                            " passed the limit of 64 MiB; the command was killed");
    EXPECT_TRUE(probe::no_children());
}

INSTANTIATE_TEST_SUITE_P(Streams, RunnerOverflow,
                         ::testing::Values(OverflowCase{"Stdout", "head -c 70M /dev/zero; sleep 20",
                                                        true, "standard output"},
                                           OverflowCase{"Stderr",
                                                        "head -c 70M /dev/zero >&2; sleep 20",
                                                        false, "standard error"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunnerStreams, ExactlySixtyFourMebibytesIsNotAnOverflow) {
    std::string output;
    EXPECT_EQ(TsProcess::system("head -c 64M /dev/zero", &output, nullptr, 30, false), 0);
    EXPECT_EQ(output.size(), 64 * kMiB);
}

TEST(RunnerStreams, DiscardedStreamHasNoLimit) {
    // Nothing of it is kept, so nothing needs protecting.
    std::string error;
    EXPECT_EQ(TsProcess::system("head -c 70M /dev/zero", nullptr, &error, 30, false), 0);
    EXPECT_EQ(error, "");
}

TEST(RunnerStreams, StdinIsDevNull) {
    std::string output;
    probe::Stopwatch clock;
    ASSERT_EQ(TsProcess::system("cat; readlink /proc/self/fd/0", &output, nullptr, 10, false), 0);
    EXPECT_EQ(output, "/dev/null\n");
    EXPECT_LT(clock.seconds(), 5.0);
}

TEST(RunnerStreams, ConcurrentCallsFromSeveralThreadsKeepTheirOwnResults) {
    constexpr int kThreads = 8;
    constexpr int kCalls = 25;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < kCalls; ++i) {
                const std::string id = std::to_string(t) + "-" + std::to_string(i);
                const int status = (t + i) % 4;
                const std::string command =
                    "echo out" + id + "; echo err" + id + " >&2; exit " + std::to_string(status);
                std::string output, error;
                const int result = TsProcess::system(command.c_str(), &output, &error, 20, false);
                if (result != status || output != "out" + id + "\n" || error != "err" + id + "\n") {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
    EXPECT_TRUE(probe::no_children());
}

}  // namespace
