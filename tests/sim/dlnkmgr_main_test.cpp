// The dlnkmgr executable against a state file: operations, messages, refresh, faults, locking.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>

#include "dlnkmgr/state_file.h"
#include "hdlm_commands.h"
#include "sim_fixtures.h"

namespace {

using simtest::sh;

class Dlnkmgr : public ::testing::Test {
protected:
    void SetUp() override { env = simtest::prepareSimulatedHost(dir, simtest::demoTopology()); }
    void reset(sim::Topology t) {
        dir2 = std::make_unique<simtest::TempDir>();
        env = simtest::prepareSimulatedHost(*dir2, std::move(t));
        base = dir2->path();
    }
    simtest::ShellResult run(const std::string& script) { return sh(script, env); }
    std::string lastLine(const std::string& text) {
        std::string t = text.substr(0, text.size() - 1);
        return t.substr(t.find_last_of('\n') + 1);
    }
    simtest::TempDir dir;
    std::unique_ptr<simtest::TempDir> dir2;
    std::string base = dir.path();
    std::string env;
};

TEST_F(Dlnkmgr, ViewsEndWithTheCompletionLineAndSucceed) {
    for (const char* cmd :
         {"dlnkmgr view -sys -msrv", "dlnkmgr view -lu", "dlnkmgr view -lu -item -hdev sddlmaa",
          "dlnkmgr view -lu -hdev sddlmab -item", "dlnkmgr view -lu -item",
          "dlnkmgr view -lu -hdev sddlmac"}) {
        SCOPED_TRACE(cmd);
        auto r = run(cmd);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(lastLine(r.out).rfind("KAPL01001-I The HDLM command completed normally. "
                                        "Operation name = view, completion time = ",
                                        0),
                  0u)
            << r.out;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(run("dlnkmgr view -sys -msrv | awk 'NR==2 {print $1}'").out, "Alive\n");
}

TEST_F(Dlnkmgr, PluginPipelinesThroughTheExecutable) {
    EXPECT_EQ(run("dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}';").out,
              "sddlmaa\nsddlmab\nsddlmac\nsddlmad\n");
    EXPECT_EQ(run("dlnkmgr view -lu -item -hdev sddlmab | " + hdlm_commands::item_filter).out,
              "/dev/sdd\n/dev/sdh\n");
}

TEST_F(Dlnkmgr, WrongUseGetsHdlmWarningsAndNonZeroStatus) {
    struct Case {
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"", "KAPL01003-W No operation name is specified."},
        {"monitor -s", "KAPL01004-W The operation name is invalid. Operation name = monitor"},
        {"offline -pathid 1 -s",
         "KAPL01006-W A necessary parameter is not specified. Operation name = offline, "
         "parameter = -path"},
        {"online -path -s",
         "KAPL01006-W A necessary parameter is not specified. Operation name = online, "
         "parameter = -pathid"},
        {"online -path -pathid", "KAPL01006-W"},
        {"offline -path -pathid 1x -s",
         "KAPL01005-W A parameter is invalid. Operation name = offline, parameter = 1x"},
        {"offline -path -pathid 0000001 -s", "KAPL01005-W"},
        {"online -path -pathid 1 -s -hdev sddlmaa", "KAPL01005-W"},
        {"view", "KAPL01006-W A necessary parameter is not specified. Operation name = view"},
        {"view -path",
         "KAPL01005-W A parameter is invalid. Operation name = view, parameter = -path"},
        {"view -sys -sfunc",
         "KAPL01005-W A parameter is invalid. Operation name = view, parameter = -sfunc"},
        {"view -lu -item pn",
         "KAPL01005-W A parameter is invalid. Operation name = view, parameter = pn"},
        {"view -lu -hdev",
         "KAPL01006-W A necessary parameter is not specified. Operation name = view, parameter = "
         "-hdev"},
        {"view -lu -item -hdev sddlmzz",
         "KAPL01018-W The target device was not found. Operation name = view, device = sddlmzz"},
        {"view -lu -item -hdev /dev/sddlmaa", "KAPL01018-W"},
        {"view -lu -item -hdev sddlmaa1", "KAPL01018-W"},
        {"delete -s",
         "KAPL01006-W A necessary parameter is not specified. Operation name = delete, parameter = "
         "-path"},
        {"add -path -s -x",
         "KAPL01005-W A parameter is invalid. Operation name = add, parameter = -x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        auto r = run(std::string("dlnkmgr ") + c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("KAPL01001-I"), std::string::npos);
    }
}

TEST_F(Dlnkmgr, MessagesOnStderrWhenTheTopologySaysSo) {
    sim::Topology t = simtest::demoTopology();
    t.dlnkmgr.messagesOnStderr = true;
    reset(t);
    auto r = run("dlnkmgr view -lu -item -hdev sddlmzz");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("KAPL01018-W"), std::string::npos);
}

TEST_F(Dlnkmgr, WithoutStateItSaysWhatIsMissing) {
    auto r = sh("PATH=" + base + "/bin:/usr/bin:/bin dlnkmgr view -lu");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("HDLM_SIM_STATE"), std::string::npos);
    for (const std::string& state : {std::string(), base + "/no-such-state.json"}) {
        auto fault = sh("HDLM_SIM_STATE=" + state + " " + HDLM_SIM_BIN + " fault remove sdc");
        EXPECT_EQ(fault.status, 2) << state;
        EXPECT_NE(fault.err.find("not inside a simulated host"), std::string::npos) << fault.err;
    }
}

// Each step changes the host and shows in every later view: the path's line in view -lu
// (Device PathID Status) and its SCSI device's /proc/partitions lines (sdc, sdg: 7 each).
TEST_F(Dlnkmgr, PathOperationsAndFaultsShowInLaterViews) {
    struct Step {
        const char* command;
        int status;
        const char* message;  // in stdout or stderr
        const char* pathId;
        const char* line;  // "" when view -lu lists no such PathID
        const char* device;
        int partitionLines;
    };
    const Step steps[] = {
        {"dlnkmgr offline -path -pathid 0 -s", 0, "Operation name = offline", "000000",
         "/dev/sdc 000000 Offline(C)", "sdc", 7},
        {"dlnkmgr offline -path -pathid 1 -s", 1, "KAPL01039-W", "000001", "/dev/sdg 000001 Online",
         "sdg", 7},
        {"dlnkmgr online -path -pathid 00000 -s", 0, "Operation name = online", "000000",
         "/dev/sdc 000000 Online", "sdc", 7},
        {"echo n | dlnkmgr offline -path -pathid 0", 1, "[y/n]", "000000", "/dev/sdc 000000 Online",
         "sdc", 7},
        {"echo y | dlnkmgr offline -path -pathid 3", 0, "[y/n]", "000003",
         "/dev/sdh 000003 Offline(C)", "sdh", 4},
        {"dlnkmgr offline -path -pathid 42 -s", 1, "KAPL01021-W", "000042", "", "sdc", 7},
        {"hdlm-sim fault remove sdg", 0, "sdg has gone", "000001", "- 000001 Offline(E)", "sdg", 0},
        {"hdlm-sim fault remove sdc", 0, "", "000000", "- 000000 Online(E)", "sdc", 0},
        {"dlnkmgr online -path -pathid 1 -s", 1, "KAPL01036-W", "000001", "- 000001 Offline(E)",
         "sdg", 0},
        {"hdlm-sim fault remove sdc", 2, "already gone", "000000", "- 000000 Online(E)", "sdc", 0},
        {"hdlm-sim fault remove sdq", 2, "'sdq' is no SCSI path device", "000000",
         "- 000000 Online(E)", "sdc", 0},
        {"hdlm-sim fault return sdg", 0, "sdg is back", "000001", "/dev/sdg 000001 Online", "sdg",
         7},
        {"hdlm-sim fault return sdg", 2, "has not gone", "000001", "/dev/sdg 000001 Online", "sdg",
         7},
        {"dlnkmgr delete -path -s", 0, "deleted = 2", "000000", "", "sdc", 0},
        {"hdlm-sim fault return sdc", 0, "new device", "000000", "", "sdc", 7},
        {"dlnkmgr add -path -s", 0, "added = 4", "000010", "/dev/sdc 000010 Online", "sdc", 7},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        auto r = run(s.command);
        EXPECT_EQ(r.status, s.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(s.message), std::string::npos) << r.out << r.err;
        std::string line = s.line[0] ? std::string(s.line) + "\n" : "";
        EXPECT_EQ(run(std::string("dlnkmgr view -lu | awk 'NF > 2 && $(NF-1) == \"") + s.pathId +
                      "\" {print $(NF-2)\" \"$(NF-1)\" \"$NF}'")
                      .out,
                  line);
        EXPECT_EQ(
            run("grep -c ' " + std::string(s.device) + "[0-9]*$' " + base + "/partitions").out,
            std::to_string(s.partitionLines) + "\n");
    }
}

TEST_F(Dlnkmgr, RefreshDropsGonePathsAndTakesOverNewOnes) {
    auto before = run("cat " + base + "/partitions");
    auto del = run("dlnkmgr delete -path -s");
    EXPECT_EQ(del.status, 0);
    EXPECT_NE(del.out.find("Operation name = delete"), std::string::npos);
    EXPECT_EQ(run("dlnkmgr view -lu -item -hdev sddlmad | " + hdlm_commands::item_filter).out,
              "/dev/sdf\n/dev/sdm\n/dev/sdn\n");
    EXPECT_EQ(run("dlnkmgr view -lu | grep -c -- ' - '").out, "0\n");
    // Nothing HDLM shows changed on disk: the gone device was never in /proc/partitions.
    EXPECT_EQ(run("cat " + base + "/partitions").out, before.out);

    auto add = run("dlnkmgr add -path -s");
    EXPECT_EQ(add.status, 0);
    EXPECT_NE(add.out.find("Operation name = add"), std::string::npos);
    EXPECT_EQ(run("dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}'").out,
              "sddlmaa\nsddlmab\nsddlmac\nsddlmad\nsddlmae\n");
    // sdl joins sddlmac with the next free PathID; LU 0011 becomes sddlmae with two new paths.
    EXPECT_EQ(run("dlnkmgr view -lu -item -hdev sddlmac | grep sd |  awk '{print $(NF-11)\" "
                  "\"$(NF-10)\" \"$(NF-6)}' ")
                  .out,
              "/dev/sde 000004 Online\n/dev/sdi 000005 Online\n/dev/sdl 000010 Online\n");
    EXPECT_EQ(run("dlnkmgr view -lu -item -hdev sddlmae | grep sd |  awk '{print $(NF-11)\" "
                  "\"$(NF-10)}' ")
                  .out,
              "/dev/sdo 000011\n/dev/sdp 000012\n");
    EXPECT_EQ(
        run("cat " + base + "/partitions | grep \"sddlmae\" | awk '{print $1\" \"$2\" \"$4}'").out,
        "251 64 sddlmae\n");
    // A second refresh changes nothing.
    std::string view = run("dlnkmgr view -lu | grep -v KAPL").out;
    EXPECT_EQ(run("dlnkmgr delete -path -s && dlnkmgr add -path -s").status, 0);
    EXPECT_EQ(run("dlnkmgr view -lu | grep -v KAPL").out, view);
}

TEST_F(Dlnkmgr, AnLuLeftWithoutPathsDisappears) {
    sim::Topology t = simtest::demoTopology();
    for (auto& p : t.storageSystems[0].lus[1].paths) p.state = sim::PathState::Gone;  // sddlmab
    reset(t);
    EXPECT_NE(run("cat " + base + "/partitions").out.find("sddlmab"), std::string::npos);
    EXPECT_EQ(run("dlnkmgr delete -path -s").status, 0);
    EXPECT_EQ(run("dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}'").out,
              "sddlmaa\nsddlmac\nsddlmad\n");
    EXPECT_EQ(run("dlnkmgr view -lu | grep 'LUs'").out, "LUs           : 2\nLUs           : 1\n");
    EXPECT_EQ(run("grep -c sddlmab " + base + "/partitions").out, "0\n");
    EXPECT_NE(run("dlnkmgr view -lu -item -hdev sddlmab").status, 0);
    // The next new LU takes the lowest free name.
    EXPECT_EQ(
        run("dlnkmgr add -path -s >/dev/null; dlnkmgr view -lu | grep 0011 | awk '{print $2}'").out,
        "sddlmab\n");
}

TEST_F(Dlnkmgr, WithoutDashSItAsksFirst) {
    EXPECT_EQ(run("echo n | dlnkmgr add -path").status, 1);
    EXPECT_EQ(run("dlnkmgr view -lu | grep -c sddlmae").out, "0\n");
    auto r = run("echo y | dlnkmgr add -path");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("[y/n]"), std::string::npos);
    EXPECT_EQ(run("dlnkmgr view -lu | grep -c sddlmae").out, "1\n");
}

TEST_F(Dlnkmgr, FaultsFailReplaceDelayAndHang) {
    sim::Topology t = simtest::demoTopology();
    auto& f = t.dlnkmgr.faults;
    f["view -sys -msrv"].status = 3;
    f["view -sys -msrv"].stderrText = "manager says no\n";
    f["view -lu"].stdoutText = "garbage line without the columns\n";
    f["view -lu -item -hdev sddlmab"].hang = true;
    f["view -lu -item"].delayMs = 300;
    f["add -path -s"].status = 2;
    f["add -path -s"].times = 1;
    f["view -lu -item -hdev sddlmad"].message = "KAPL01039-W The path /dev/sdf was placed offline.";
    reset(t);

    auto msrv = run("dlnkmgr view -sys -msrv");
    EXPECT_EQ(msrv.status, 3);
    EXPECT_EQ(msrv.err, "manager says no\n");
    EXPECT_EQ(msrv.out, "");

    auto lu = run("dlnkmgr view -lu");
    EXPECT_EQ(lu.status, 0);
    EXPECT_EQ(lu.out, "garbage line without the columns\n");

    auto hang = run("timeout 1 dlnkmgr view -lu -item -hdev sddlmab");
    EXPECT_EQ(hang.status, 124);

    auto start = std::chrono::steady_clock::now();
    auto slow = run("dlnkmgr view -lu -item -hdev sddlmaa | " + hdlm_commands::item_filter);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(slow.out, "/dev/sdc\n/dev/sdg\n");

    // The message stands after the first path line; the view is otherwise whole.
    auto message = run("dlnkmgr view -lu -item -hdev sddlmad | awk '{print $1}'");
    EXPECT_EQ(message.status, 0);
    EXPECT_EQ(message.out,
              "Product\nSerialNumber\nLUs\n\niLU\n0010\nKAPL01039-W\n-\n/dev/sdm\n"
              "/dev/sdn\nKAPL01001-I\n");

    // Fails once with the default error line and changes nothing, then works.
    auto add1 = run("dlnkmgr add -path -s");
    EXPECT_EQ(add1.status, 2);
    EXPECT_NE(add1.out.find("-E "), std::string::npos);
    EXPECT_EQ(run("grep -c sddlmae " + base + "/partitions").out, "0\n");
    EXPECT_EQ(run("dlnkmgr add -path -s").status, 0);
    EXPECT_EQ(run("grep -c sddlmae " + base + "/partitions").out, "1\n");
}

TEST_F(Dlnkmgr, ConcurrentRefreshesKeepTheStateConsistent) {
    auto r =
        run("for i in 1 2 3 4 5 6; do (dlnkmgr delete -path -s; dlnkmgr add -path -s) >/dev/null & "
            "done; wait");
    EXPECT_EQ(r.status, 0);
    std::string ids =
        run("dlnkmgr view -lu | awk 'NF > 1 && $(NF-1) ~ /^[0-9]+$/ {print $(NF-1)}' | sort").out;
    std::istringstream in(ids);
    std::set<std::string> unique;
    int count = 0;
    for (std::string id; in >> id; ++count) unique.insert(id);
    EXPECT_EQ(count, 12) << run("dlnkmgr view -lu").out;  // 10 managed - 1 gone + sdl, sdo, sdp
    EXPECT_EQ(unique.size(), size_t(count));
    EXPECT_NO_THROW(sim::loadState(base + "/state.json"));
}

}  // namespace
