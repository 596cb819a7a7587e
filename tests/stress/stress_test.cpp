// Runs plugin-stress inside the simulator: 8 threads calling every entry point but init for
// several seconds (PLUGIN_STRESS_SECONDS, default 5), every answer checked against the demo
// topology, nothing left behind. Needs root, as hdlm-sim run does.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Finished {
    int status = -1;     // exit status, or 128 + signal
    std::string output;  // standard output and standard error together
};

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Runs argv with the current environment plus `extraEnv`, stdin from /dev/null.
Finished run(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return {-1, std::string("pipe: ") + std::strerror(errno)};
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();
    if (spawned != 0) return {-1, "cannot start " + args[0] + ": " + std::strerror(spawned)};
    Finished finished;
    char buffer[4096];
    for (ssize_t n; (n = read(readEnd.get(), buffer, sizeof(buffer))) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        finished.output.append(buffer, size_t(n));
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return finished;
}

// A scratch directory, removed with its content.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "plugin-stress-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

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
        ASSERT_FALSE(scratch_.path().empty()) << "cannot create a scratch directory";
    }
    ScratchDir scratch_;
};

TEST_F(PluginStress, EveryEntryPointButInitFromEightThreadsAnswersAsTheTopologySays) {
    const std::string log = scratch_.path() + "/plugin.log";
    const Finished finished = run(stressCommand(DEMO_TOPOLOGY, ""), {"TS_DEBUG_LOG=" + log});
    ASSERT_EQ(finished.status, 0) << finished.output;
    EXPECT_NE(finished.output.find("plugin-stress: OK"), std::string::npos) << finished.output;
    std::cout << finished.output;

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

    const Finished finished = run(stressCommand(altered, "0.1"), {});
    EXPECT_EQ(finished.status, 1) << finished.output;
    EXPECT_NE(finished.output.find("getUnderlyingDevices(/dev/sddlmaa) = 0 [/dev/sdc /dev/sdg]"),
              std::string::npos)
        << finished.output;
    EXPECT_NE(finished.output.find("the topology has 5 partitions"), std::string::npos)
        << finished.output;
}

}  // namespace
