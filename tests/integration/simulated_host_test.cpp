#include "simulated_host_test.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "census.h"
#include "temp_dir.h"

namespace integ {
namespace {

using testsupport::readFile;

// Empty when hdlm-sim can build a host here with loop devices; else why not.
std::string whyNoSimulatedHost() {
    if (geteuid() != 0)
        return "needs root: hdlm-sim makes a mount namespace, device nodes and loop devices";
    testsupport::ProgramResult unshare =
        testsupport::runProgram({"unshare", "-m", "true"}, {{}, false, 30});
    if (unshare.status != 0)
        return "this machine refuses new mount namespaces (unshare -m: " + unshare.err + ")";
    testsupport::ProgramResult probe =
        testsupport::runProgram({HDLM_SIM_BIN, "run", DEMO_TOPOLOGY, "--", "true"}, {{}, true, 60});
    if (probe.status != 0)
        return "hdlm-sim cannot build a simulated host here: " + probe.describe();
    if (probe.err.find("no loop device") != std::string::npos)
        return "no loop devices for the simulated LUs here: " + probe.err;
    return "";
}

const std::string& skipReason() {
    static const std::string reason = whyNoSimulatedHost();
    return reason;
}

// Polls `check` (true: settled) for up to `seconds`; the last answer counts.
template <typename Check>
bool settles(Check check, double seconds = 3.0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!check()) {
        if (std::chrono::steady_clock::now() > deadline) return check();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::set<unsigned> loopMinorsIn(const std::string& report) {
    std::set<unsigned> minors;
    std::istringstream in(readFile(report));
    for (unsigned m; in >> m;) minors.insert(m);
    return minors;
}

// Which of `minors` still have a backing file.
std::string stillBound(const std::set<unsigned>& minors) {
    std::string bound;
    for (unsigned minor : minors)
        if (census::loopBound(minor)) bound += "/dev/loop" + std::to_string(minor) + "\n";
    return bound;
}

}  // namespace

void SimulatedHostTest::SetUp() {
    if (!skipReason().empty()) GTEST_SKIP() << skipReason();
    // Whatever the simulated host leaves running is re-parented here, where it can be seen.
    ASSERT_TRUE(census::adoptOrphans());
    scratch_.emplace();
    mountsBefore_ = census::mounts();
}

nlohmann::json demoTopology() {
    std::ifstream in(DEMO_TOPOLOGY);
    return nlohmann::json::parse(in);
}

std::string SimulatedHostTest::writeTopology(const nlohmann::json& topology) {
    return scratch().write("topology.json", topology.dump(2));
}

testsupport::ProgramResult SimulatedHostTest::runInSimulatedHost(
    const std::string& topologyFile, const std::vector<std::string>& command,
    const std::vector<std::string>& environment, const std::string& loopReport,
    const std::vector<std::string>& simOptions) {
    std::vector<std::string> argv = {HDLM_SIM_BIN, "run"};
    argv.insert(argv.end(), simOptions.begin(), simOptions.end());
    argv.insert(argv.end(), {topologyFile, "--"});
    argv.insert(argv.end(), command.begin(), command.end());
    testsupport::ProgramResult result = testsupport::runProgram(argv, {environment, true, 90});
    expectNothingLeftBehind(result.pid, loopReport);
    return result;
}

void SimulatedHostTest::expectNothingLeftBehind(pid_t session, const std::string& loopReport) {
    std::vector<census::Process> inSession, orphans;
    bool quiet =
        settles([&] { return (inSession = census::runningInSession(session, getpid())).empty(); });
    EXPECT_TRUE(quiet) << "processes of the simulated host's session still run:\n"
                       << census::describe(inSession);
    bool orphansGone = settles([&] { return (orphans = census::liveChildren(getpid())).empty(); });
    EXPECT_TRUE(orphansGone) << "processes the simulated host left behind:\n"
                             << census::describe(orphans);
    // They were started by this test: end them, so that one failure does not spill into the next.
    if (!quiet || !orphansGone) {
        for (const census::Process& p : census::runningInSession(session, getpid()))
            kill(p.pid, SIGKILL);
        for (const census::Process& p : census::liveChildren(getpid())) kill(p.pid, SIGKILL);
    }
    settles([&] {
        testsupport::reapStrayChildren();
        return census::liveChildren(getpid()).empty();
    });
    testsupport::reapStrayChildren();

    if (!loopReport.empty()) {
        std::set<unsigned> ours = loopMinorsIn(loopReport);
        EXPECT_FALSE(ours.empty())
            << "integration_host recorded no loop device behind the HDLM nodes";
        std::string bound;
        EXPECT_TRUE(settles([&] { return (bound = stillBound(ours)).empty(); }))
            << "loop devices of the simulated host still bound:\n"
            << bound;
    }
    EXPECT_EQ(census::mounts(), mountsBefore_) << "this process's mounts changed";
}

void SimulatedHostTest::runHostTests(const std::string& topologyFile, const std::string& filter,
                                     const std::vector<std::string>& environment) {
    const std::string report = scratch().file("host-tests.json");
    const std::string loops = scratch().file("loops.txt");
    std::vector<std::string> env = {"INTEGRATION_TOPOLOGY=" + topologyFile,
                                    "INTEGRATION_LOOP_REPORT=" + loops,
                                    "TS_DEBUG_LOG=" + scratch().file("plugin.log")};
    env.insert(env.end(), environment.begin(), environment.end());
    testsupport::ProgramResult r =
        runInSimulatedHost(topologyFile,
                           {INTEGRATION_HOST_BIN, "--gtest_filter=" + filter,
                            "--gtest_output=json:" + report, "--gtest_color=no"},
                           env, loops);
    std::cout << "[  TIMING  ] " << filter << " in the simulated host: " << r.seconds << " s\n";
    RecordProperty("simulated_host_seconds", std::to_string(r.seconds));
    EXPECT_EQ(r.status, 0) << "integration_host " << filter << " failed in the simulated host\n"
                           << r.describe() << "--- plug-in log ---\n"
                           << readFile(scratch().file("plugin.log"));

    // A filter that matches nothing, or tests that skipped, prove nothing.
    std::ifstream in(report);
    ASSERT_TRUE(in) << "integration_host wrote no test report\n" << r.describe();
    nlohmann::json results = nlohmann::json::parse(in);
    EXPECT_GT(results.value("tests", 0), 0) << "no test matched " << filter;
    for (const nlohmann::json& suite : results.at("testsuites"))
        for (const nlohmann::json& test : suite.at("testsuite")) {
            std::string name = suite.value("name", "") + "." + test.value("name", "");
            EXPECT_EQ(test.value("result", ""), "COMPLETED") << name << " did not run to the end";
            EXPECT_FALSE(test.contains("failures")) << name << " failed";
        }
}

}  // namespace integ
