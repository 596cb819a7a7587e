// Runs plugin-stress inside the simulator: 8 threads calling every entry point but init for
// several seconds (PLUGIN_STRESS_SECONDS, default 5), every answer checked against the demo
// topology, nothing left behind. Needs root, as hdlm-sim run does.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process_runner.h"
#include "temp_dir.h"

namespace {

// Runs argv with the current environment plus `extraEnv`, within the test's own time limit.
testsupport::ProgramResult run(const std::vector<std::string>& args,
                               const std::vector<std::string>& extraEnv) {
    return testsupport::runProgram(args, {extraEnv, false, 280});
}

std::vector<std::string> stressCommand(const std::string& topology, const std::string& seconds) {
    std::vector<std::string> command = {
        HDLM_SIM_BIN, "run",    DEMO_TOPOLOGY, "--", PLUGIN_STRESS_BIN, "--plugin", PLUGIN_PATH,
        "--topology", topology, "--threads",   "8"};
    if (!seconds.empty()) command.insert(command.end(), {"--seconds", seconds});
    return command;
}

class PluginStress : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: hdlm-sim run builds the simulated host with a mount "
                            "namespace, device nodes and loop devices";
    }
    testsupport::TempDir scratch_{"plugin-stress"};
};

TEST_F(PluginStress, EveryEntryPointButInitFromEightThreadsAnswersAsTheTopologySays) {
    const std::string log = scratch_.path() + "/plugin.log";
    const testsupport::ProgramResult finished =
        run(stressCommand(DEMO_TOPOLOGY, ""), {"TS_DEBUG_LOG=" + log});
    ASSERT_EQ(finished.status, 0) << finished.output();
    EXPECT_NE(finished.output().find("plugin-stress: OK"), std::string::npos) << finished.output();
    std::cout << finished.output();

    // The threads logged through the host's logger at once: every line must still be one whole
    // line of its format, and nothing was logged as a failure.
    std::ifstream in(log);
    ASSERT_TRUE(in) << "the plug-in logged nothing to " << log;
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \d+ \d+ (0|-1) HDLM::\w+ .*)");
    int lines = 0;
    for (std::string text; std::getline(in, text); ++lines) {
        EXPECT_TRUE(std::regex_match(text, line)) << "torn or malformed log line: " << text;
        EXPECT_EQ(text.find(" -1 HDLM::"), std::string::npos) << "a failure was logged: " << text;
    }
    EXPECT_GT(lines, 0);
}

// The checks must be able to fail: the same host judged by a topology with one path and one
// partition less is caught before any thread starts.
TEST_F(PluginStress, AnswersThatDisagreeWithTheTopologyFailTheRun) {
    std::ifstream demo(DEMO_TOPOLOGY);
    std::stringstream text;
    text << demo.rdbuf();
    std::string topology = text.str();
    const std::string path =
        R"({ "device": "sdg", "hctl": "3:0:0:0", "chaPort": "2A", "ioCount": 1498 })";
    const std::string partition =
        R"({ "number": 7, "kind": "logical", "start": 299008, "size": 96256, "type": "8e" })";
    for (const std::string& entry : {path, partition}) {
        const size_t at = topology.find(entry);
        ASSERT_NE(at, std::string::npos) << "the demo topology no longer holds " << entry;
        const size_t comma = topology.rfind(',', at);
        topology.erase(comma, at + entry.size() - comma);
    }
    const std::string altered = scratch_.path() + "/altered.json";
    std::ofstream(altered) << topology;

    const testsupport::ProgramResult finished = run(stressCommand(altered, "0.1"), {});
    EXPECT_EQ(finished.status, 1) << finished.output();
    EXPECT_NE(finished.output().find("getUnderlyingDevices(/dev/sddlmaa) = 0 [/dev/sdc /dev/sdg]"),
              std::string::npos)
        << finished.output();
    EXPECT_NE(finished.output().find("the topology has 5 partitions"), std::string::npos)
        << finished.output();
}

}  // namespace
