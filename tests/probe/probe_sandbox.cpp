#include "probe_sandbox.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace probe_test {

const std::string ProbeSandbox::kProbeBinary = MPIO_PROBE_BINARY;
const std::string ProbeSandbox::kFakePlugin = FAKE_MPIO_PLUGIN;
const std::string ProbeSandbox::kFakePluginWithoutRefresh = FAKE_MPIO_PLUGIN_WITHOUT_REFRESH;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

ProbeSandbox::ProbeSandbox() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "mpio-probe-test.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    dir_ = pattern;
}

ProbeSandbox::~ProbeSandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void ProbeSandbox::writeScenario(const nlohmann::json& scenario) const {
    std::ofstream(dir_ + "/scenario.json") << scenario.dump();
}

ProbeRun ProbeSandbox::run(const std::vector<std::string>& args, const std::string& plugin,
                           const std::string& binary) const {
    std::vector<std::string> argvText = {binary};
    if (!plugin.empty()) argvText.insert(argvText.end(), {"--plugin", plugin});
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envText = {"FAKE_MPIO_SCENARIO=" + dir_ + "/scenario.json",
                                        "FAKE_MPIO_CALL_LOG=" + dir_ + "/calls.log"};
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (entry.rfind("FAKE_MPIO_", 0) != 0) envText.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    Fd readEnd{pipeFds[0]};
    Fd writeEnd{pipeFds[1]};
    const std::string errPath = dir_ + "/stderr.txt";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + binary);
    close(writeEnd.fd);
    writeEnd.fd = -1;

    ProbeRun result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(readEnd.fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) result.out.append(buffer, static_cast<size_t>(n));
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.err = readFile(errPath);
    return result;
}

std::vector<std::string> ProbeSandbox::calls() const {
    return lines(readFile(dir_ + "/calls.log"));
}

nlohmann::json ProbeSandbox::runJson(std::vector<std::string> args, int expectedExit) const {
    args.insert(args.begin(), "--json");
    ProbeRun r = run(args);
    EXPECT_EQ(r.exitStatus, expectedExit) << r.out << r.err;
    return nlohmann::json::parse(r.out);
}

nlohmann::json twoDiskScenario() {
    return nlohmann::json::parse(R"({
      "vendor": "Fake MPIO vendor",
      "devices": {"items": ["sddlmaa", "sddlmab"]},
      "mpio": ["/dev/sddlmaa", "/dev/sddlmab", "/dev/sddlmaa1", "/dev/sddlmaa2"],
      "underlying": {
        "/dev/sddlmaa": {"items": ["sdc", "sdd"]},
        "/dev/sddlmab": {"items": ["sde", "sdf", "sdg"]}
      },
      "partitionOf": {
        "/dev/sddlmaa1": {"parent": "/dev/sddlmaa"},
        "/dev/sddlmaa2": {"parent": "/dev/sddlmaa"}
      },
      "partitions": {
        "/dev/sddlmaa": {"list": [
          {"number": 1, "start": 2048, "sectors": 204800, "major": 253, "minor": 1},
          {"number": 2, "start": 206848, "sectors": 3145728, "major": 253, "minor": 2}
        ]},
        "/dev/sddlmab": {"list": []}
      }
    })");
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace probe_test
