// TsProcess::system timeouts: the whole process group is stopped, TERM first, KILL a second later.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "TsProcess.h"
#include "process_probe.h"
#include "temp_dir.h"
#include "test_fixtures.h"

namespace {

std::vector<pid_t> pids_in(const std::string& path) {
    std::istringstream in(testsupport::readFile(path));
    std::vector<pid_t> pids;
    long pid = 0;
    while (in >> pid) pids.push_back(static_cast<pid_t>(pid));
    return pids;
}

TEST(RunnerTimeout, KillsThePipelineWithItsGrandchildren) {
    testsupport::TempDir dir;
    const std::string pids = dir.path() + "/pids";
    // The shell, a background child with a grandchild of its own, and a foreground pipeline.
    const std::string command = "echo $$ >> " + pids + "; sh -c 'sleep 100 & echo $! >> " + pids +
                                "; sleep 100' & echo $! >> " + pids +
                                "; echo started; sleep 100 | cat";
    std::string output, error;
    probe::Stopwatch clock;
    EXPECT_EQ(TsProcess::system(command.c_str(), &output, &error, 1, false), 124);
    const double took = clock.seconds();
    EXPECT_GE(took, 1.0);
    EXPECT_LT(took, 4.0);
    EXPECT_EQ(output, "started\n");
    EXPECT_EQ(error, "timed out after 1 s");

    const auto started = pids_in(pids);
    ASSERT_EQ(started.size(), 3u);
    EXPECT_TRUE(probe::live_group_members(started[0]).empty()) << "processes left in the group";
    for (pid_t pid : started) EXPECT_FALSE(probe::alive(pid)) << "pid " << pid << " survived";
    EXPECT_TRUE(probe::no_children());
}

TEST(RunnerTimeout, CommandIgnoringTermIsKilledASecondLater) {
    std::string error;
    probe::Stopwatch clock;
    EXPECT_EQ(TsProcess::system("trap '' TERM; echo err >&2; sleep 100", nullptr, &error, 1, false),
              124);
    const double took = clock.seconds();
    EXPECT_GE(took, 2.0);
    EXPECT_LT(took, 5.0);
    EXPECT_EQ(error, "timed out after 1 s\nerr\n");
    EXPECT_TRUE(probe::no_children());
}

TEST(RunnerTimeout, ShellThatClosedItsPipesStillTimesOut) {
    probe::Stopwatch clock;
    EXPECT_EQ(TsProcess::system("exec >/dev/null 2>&1; sleep 100", nullptr, nullptr, 1, false),
              124);
    EXPECT_LT(clock.seconds(), 4.0);
    EXPECT_TRUE(probe::no_children());
}

TEST(RunnerTimeout, ZeroTakesTheEnvironmentVariable) {
    testlog::ScopedEnv env("TS_PROCESS_TIMEOUT", "1");
    std::string error;
    probe::Stopwatch clock;
    EXPECT_EQ(TsProcess::system("sleep 100", nullptr, &error, 0, false), 124);
    EXPECT_LT(clock.seconds(), 4.0);
    EXPECT_EQ(error, "timed out after 1 s");
}

TEST(RunnerTimeout, ExplicitTimeoutWinsOverTheEnvironment) {
    testlog::ScopedEnv env("TS_PROCESS_TIMEOUT", "1");
    EXPECT_EQ(TsProcess::system("sleep 1.5; exit 7", nullptr, nullptr, 5, false), 7);
}

TEST(RunnerTimeout, MalformedEnvironmentValueFallsBackToTheDefault) {
    for (const char* value : {"1x", "1.5"}) {
        testlog::ScopedEnv env("TS_PROCESS_TIMEOUT", value);
        // Read leniently these would give one second and cut the command; the default does not.
        EXPECT_EQ(TsProcess::system("sleep 1.2; exit 9", nullptr, nullptr, 0, false), 9)
            << "TS_PROCESS_TIMEOUT=" << value;
    }
}

}  // namespace
