// `hdlm-sim run` end to end: the namespace, /proc, /dev, loop-backed partitions, refresh,
// exit status, signals, capture and replay, and that nothing stays behind. Needs root.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "hdlm_commands.h"
#include "sim_fixtures.h"
#include "topology/proc_format.h"

namespace {

using simtest::sh;

const std::string kSim = HDLM_SIM_BIN;
const std::string kDemo = DEMO_TOPOLOGY;

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

simtest::ShellResult simRun(const std::string& script, const std::string& topology = kDemo,
                            const std::string& options = "") {
    return sh(kSim + " run " + options + " " + topology + " -- sh -c " + quote(script));
}

class SimRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: mount namespaces, device nodes, loop devices";
        if (sh("unshare -m true").status != 0)
            GTEST_SKIP() << "this machine refuses new mount namespaces";
    }
};

TEST(SimRunWithoutRoot, SaysSoPlainlyAndExitsTwo) {
    std::string cmd = kSim + " run " + kDemo + " -- true";
    if (geteuid() == 0) {
        const std::string drop = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        if (sh(drop + "test -x " + kSim).status != 0 || sh(drop + "test -r " + kDemo).status != 0)
            GTEST_SKIP() << "the unprivileged user cannot reach " << kSim << " or " << kDemo;
        cmd = drop + cmd;
    }
    auto r = sh(cmd);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("needs root"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(SimRun, DemoHostShowsProcDevAndDlnkmgr) {
    auto r = simRun(
        "cat /proc/partitions | grep \"sddlm\" | awk '{print $1\" \"$2\" \"$4}'; echo --;"
        "cat /proc/devices | grep 'sddlmfdrv' | awk '{print $1}'; echo --;"
        "command -v dlnkmgr; dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}';"
        "dlnkmgr view -lu -item -hdev sddlmab | " +
        hdlm_commands::item_filter +
        "; echo --;"
        "stat -c '%n %F %t:%T' /dev/sddlm* /dev/sdc /dev/sdc5 /dev/sdq 2>&1 | sed 's/^stat: //'; "
        "echo --;"
        "for n in null zero full random urandom tty ptmx; do [ -c /dev/$n ] || echo missing $n; "
        "done;"
        "[ -d /dev/pts ] && [ -d /dev/shm ] && [ -L /dev/fd ] && echo basics ok; echo hi > "
        "/dev/null; [ -e /dev/sdj ] || echo no sdj");
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::vector<std::string> sections(5);
    size_t s = 0;
    for (std::string line; std::getline(in, line) && s < sections.size();)
        if (line == "--")
            ++s;
        else
            sections[s] += line + "\n";

    // Every HDLM line is under the loop major; disks on multiples of 16, partitions at disk +
    // number.
    std::istringstream parts(sections[0]);
    std::string names;
    unsigned diskMinor = 0;
    for (unsigned major, minor; parts >> major >> minor;) {
        std::string name;
        parts >> name;
        names += name + " ";
        EXPECT_EQ(major, 7u) << name;
        char last = name.back();
        if (last >= '0' && last <= '9')
            EXPECT_EQ(minor, diskMinor + unsigned(last - '0')) << name;
        else {
            EXPECT_EQ(minor % 16, 0u) << name;
            diskMinor = minor;
        }
    }
    EXPECT_EQ(names,
              "sddlmaa sddlmaa1 sddlmaa2 sddlmaa3 sddlmaa5 sddlmaa6 sddlmaa7 sddlmab sddlmab1 "
              "sddlmab2 sddlmab4 "
              "sddlmac sddlmad sddlmad1 ");
    EXPECT_EQ(sections[1], "7\n");
    EXPECT_EQ(
        sections[2],
        "/dev/.hdlm-sim/bin/dlnkmgr\nsddlmaa\nsddlmab\nsddlmac\nsddlmad\n/dev/sdd\n/dev/sdh\n");
    // The nodes carry the numbers /proc/partitions lists (stat prints them in hex).
    std::istringstream nodes(sections[3]);
    for (std::string line; std::getline(nodes, line);) {
        if (line.find("/dev/sddlm") != 0) continue;
        std::string name = line.substr(5, line.find(' ') - 5);
        unsigned major = std::stoul(line.substr(line.rfind(' ') + 1), nullptr, 16);
        unsigned minor = std::stoul(line.substr(line.rfind(':') + 1), nullptr, 16);
        EXPECT_NE(line.find("block special file"), std::string::npos) << line;
        EXPECT_NE(sections[0].find(std::to_string(major) + " " + std::to_string(minor) + " " +
                                   name + "\n"),
                  std::string::npos)
            << line;
    }
    EXPECT_EQ(std::count(sections[3].begin(), sections[3].end(), '\n'), 17);
    EXPECT_NE(sections[3].find("/dev/sdc block special file 8:20\n"), std::string::npos)
        << sections[3];
    EXPECT_NE(sections[3].find("/dev/sdc5 block special file 8:25\n"), std::string::npos);
    EXPECT_NE(sections[3].find("cannot statx '/dev/sdq'"), std::string::npos);  // not in the demo
    EXPECT_EQ(sections[4], "basics ok\nno sdj\n");
}

TEST_F(SimRun, LoopBackedPartitionsAreTheTopologysTables) {
    sim::Topology demo = simtest::demoTopology();
    auto r = simRun(
        "sfdisk --json /dev/sddlmaa; echo '##'; sfdisk --json /dev/sddlmab; echo '##'; sfdisk "
        "--json /dev/sddlmad");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::pair<size_t, size_t> lus[] = {{0, 0}, {0, 1}, {1, 0}};
    size_t pos = 0;
    for (auto [ss, l] : lus) {
        const sim::LU& lu = demo.storageSystems[ss].lus[l];
        size_t end = r.out.find("##", pos);
        auto j = nlohmann::json::parse(
            r.out.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end == std::string::npos ? r.out.size() : end + 3;
        SCOPED_TRACE(lu.ilu);
        EXPECT_EQ(j["partitiontable"]["label"], lu.table->label);
        auto parts = j["partitiontable"]["partitions"];
        ASSERT_EQ(parts.size(), lu.table->partitions.size());
        for (size_t i = 0; i < parts.size(); ++i) {
            const sim::Partition& p = lu.table->partitions[i];
            std::string node = parts[i]["node"];
            EXPECT_EQ(node.substr(node.size() - std::to_string(p.number).size()),
                      std::to_string(p.number));
            EXPECT_EQ(parts[i]["start"].get<uint64_t>(), p.start);
            EXPECT_EQ(parts[i]["size"].get<uint64_t>(), p.size);
        }
    }
    // A partition node reads its partition: bytes written through sddlmab2 show up in the disk
    // at the partition's start; an extended partition shows 1 KiB, as the kernel's does.
    auto io = simRun(
        "printf PARTITION-TWO | dd of=/dev/sddlmab2 bs=512 conv=sync oflag=direct status=none;"
        "dd if=/dev/sddlmab bs=512 skip=43008 count=1 iflag=direct status=none | head -c 13; echo;"
        "blockdev --getsize64 /dev/sddlmab4 /dev/sddlmaa3 /dev/sddlmaa");
    EXPECT_EQ(io.out, "PARTITION-TWO\n20971520\n1024\n268435456\n") << io.err;
    // The LU without a table is a blank disk.
    auto bare = simRun("blockdev --getsize64 /dev/sddlmac; sfdisk --json /dev/sddlmac");
    EXPECT_NE(bare.status, 0);
    EXPECT_EQ(bare.out, "67108864\n");
    EXPECT_NE(bare.err.find("does not contain a recognized partition table"), std::string::npos)
        << bare.err;
}

TEST_F(SimRun, RefreshChangesViewsProcAndDev) {
    auto r = simRun(
        "dlnkmgr delete -path -s >/dev/null && dlnkmgr add -path -s >/dev/null &&"
        "dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}' &&"
        "dlnkmgr view -lu -item -hdev sddlmac | " +
        hdlm_commands::item_filter +
        "&&"
        "dlnkmgr view -lu -item -hdev sddlmad | " +
        hdlm_commands::item_filter +
        "&&"
        "grep -c sddlmae /proc/partitions && [ -b /dev/sddlmae ] && echo node");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "sddlmaa\nsddlmab\nsddlmac\nsddlmad\nsddlmae\n/dev/sde\n/dev/sdi\n/dev/sdl\n"
              "/dev/sdf\n/dev/sdm\n/dev/sdn\n1\nnode\n");
}

TEST_F(SimRun, ExitStatusStdinAndQuietStdout) {
    EXPECT_EQ(simRun("exit 7").status, 7);
    EXPECT_EQ(simRun("kill -TERM $$").status, 128 + SIGTERM);
    // The command's words reach it as given: -v is grep's, '[a,b]' one word.
    auto piped =
        sh("printf 'line one\\nline two\\n' | " + kSim + " run " + kDemo + " grep -v '[a,b]'");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, "line one\nline two\n");
    EXPECT_EQ(piped.err, "");
    auto missing = sh(kSim + " run " + kDemo + " -- no-such-command-here");
    EXPECT_EQ(missing.status, 127);
    EXPECT_NE(missing.err.find("no-such-command-here"), std::string::npos);
    simtest::TempDir dir;
    std::string bad = dir.write(
        "bad.json", R"({"storageSystems":[{"lus":[{"paths":[{"device":"sdc","status":"Up"}]}]}]})");
    auto b = sh(kSim + " run " + bad + " -- true");
    EXPECT_EQ(b.status, 2);
    EXPECT_NE(b.err.find("storageSystems[0].lus[0].paths[0].status"), std::string::npos) << b.err;
    auto usage = sh(kSim + " run " + kDemo);
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("no command"), std::string::npos);
}

TEST_F(SimRun, HangingDlnkmgrEndsWithTheTimeoutAndLeavesNothing) {
    sim::Topology t = simtest::demoTopology();
    t.dlnkmgr.faults["view -lu"].hang = true;
    t.dlnkmgr.faults["view -sys -msrv"] = sim::Fault{
        1, std::nullopt,
        std::string("KAPL01012-E Could not connect the HDLM manager. Operation name = view\n")};
    simtest::TempDir dir;
    std::string topo = dir.write("t.json", sim::toJson(t));
    // Any dlnkmgr still running in this namespace (other simulated hosts may run their own).
    auto r = simRun(
        "timeout 1 dlnkmgr view -lu; echo $?; dlnkmgr view -sys -msrv; echo $?;"
        "for p in $(pgrep -x dlnkmgr); do [ \"$(readlink /proc/$p/ns/mnt)\" = \"$(readlink "
        "/proc/self/ns/mnt)\" ] && echo $p; done;"
        "echo none",
        topo);
    EXPECT_EQ(r.out, "124\n1\nnone\n");
    EXPECT_EQ(r.err, "KAPL01012-E Could not connect the HDLM manager. Operation name = view\n");
}

TEST_F(SimRun, NoLoopFallsBackToFakeMajorsCleanly) {
    auto r = simRun(
        "cat /proc/devices | grep 'sddlmfdrv' | awk '{print $1}'; stat -c '%t' /dev/sddlmaa; "
        "sfdisk --json /dev/sddlmaa >/dev/null 2>&1 || echo unreadable",
        kDemo, "--no-loop");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("no loop devices"), std::string::npos);
    std::istringstream in(r.out);
    std::string major, node, verdict;
    std::getline(in, major);
    std::getline(in, node);
    std::getline(in, verdict);
    EXPECT_NE(major, "7");
    EXPECT_EQ(std::stoul(node, nullptr, 16), std::stoul(major));
    EXPECT_EQ(verdict, "unreadable");
}

// Simulators started together (as ctest -j starts them) take and give back loop indices side
// by side: one removing the indices it added must not leave another without loop devices.
TEST_F(SimRun, SimulatorsSideBySideEachGetTheirLoopDevices) {
    const std::string one = kSim + " run " + kDemo + " -- true";
    auto r = sh("for round in 1 2 3 4 5; do for sim in 1 2 3; do " + one +
                " >/dev/null & done; wait; done 2>&1");
    EXPECT_EQ(r.out.find("no loop device"), std::string::npos) << r.out;
}

// The loop indices behind the HDLM nodes, as the command inside sees them.
const char* const kPrintLoopIndices = "for f in /dev/sddlm*; do stat -c %T $f; done";

std::set<unsigned> indicesFrom(const std::string& hexMinors) {
    std::set<unsigned> out;
    std::istringstream in(hexMinors);
    for (std::string hex; in >> hex;) out.insert(unsigned(std::stoul(hex, nullptr, 16)));
    return out;
}

// Which of `indices` are still bound to a simulator image or, if `added`, exist at all.
std::string lingering(const std::set<unsigned>& indices, const std::set<unsigned>& added) {
    std::string left;
    for (unsigned i : indices) {
        std::string sys = "/sys/block/loop" + std::to_string(i);
        std::ifstream backing(sys + "/loop/backing_file");
        std::string file;
        if (backing >> file && file.find("/.hdlm-sim/") != std::string::npos)
            left += "loop" + std::to_string(i) + "(bound) ";
        else if (added.count(i) && access(sys.c_str(), F_OK) == 0)
            left += "loop" + std::to_string(i) + " ";
    }
    return left;
}

TEST_F(SimRun, NothingStaysBehindAfterTheCommand) {
    std::string mounts = sh("grep -c . /proc/self/mountinfo").out;
    auto r = simRun(kPrintLoopIndices);
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<unsigned> used = indicesFrom(r.out);
    EXPECT_EQ(used.size(), 14u);
    EXPECT_EQ(lingering(used, {}), "");  // detached before run returned
    EXPECT_EQ(sh("grep -c . /proc/self/mountinfo").out, mounts);
}

TEST_F(SimRun, KillingTheSimulatorLeavesNoLoopDeviceOrProcess) {
    std::set<unsigned> existing;
    std::istringstream pre(sh("ls /sys/block | grep '^loop' | sed 's/loop//'").out);
    for (unsigned i; pre >> i;) existing.insert(i);
    simtest::TempDir dir;
    std::string ready = dir.path() + "/ready";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setpgid(0, 0);
        execl(kSim.c_str(), kSim.c_str(), "run", kDemo.c_str(), "--", "sh", "-c",
              (std::string(kPrintLoopIndices) + " > " + ready + ".tmp; mv " + ready + ".tmp " +
               ready + "; exec sleep 29.5")
                  .c_str(),
              nullptr);
        _exit(127);
    }
    for (int i = 0; i < 100 && access(ready.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(access(ready.c_str(), F_OK), 0) << "the simulated host did not come up";
    std::set<unsigned> used = indicesFrom(sim::readTextFile(ready));
    EXPECT_EQ(used.size(), 14u);
    EXPECT_NE(lingering(used, {}), "");  // bound while it runs
    // Outside the namespace nothing of it shows.
    EXPECT_EQ(sh("grep -c sddlm /proc/partitions /proc/devices").out,
              "/proc/partitions:0\n/proc/devices:0\n");
    EXPECT_NE(access("/dev/sddlmaa", F_OK), 0);
    EXPECT_EQ(sh("grep -c hdlm-sim /proc/self/mountinfo").out, "0\n");
    std::set<unsigned> added;
    for (unsigned i : used)
        if (!existing.count(i)) added.insert(i);
    kill(pid, SIGKILL);
    int status;
    waitpid(pid, &status, 0);
    std::string left;
    for (int i = 0; i < 100; ++i) {
        left = lingering(used, added);
        if (sh("pgrep -f 'sleep 29[.]5'").status == 0) left += "the command ";
        if (left.empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(left, "") << "still there after the kill";
}

TEST_F(SimRun, SigtermReachesTheCommand) {
    simtest::TempDir dir;
    std::string ready = dir.path() + "/ready";
    std::string out = dir.path() + "/out";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (freopen(out.c_str(), "w", stdout) == nullptr) _exit(126);
        execl(kSim.c_str(), kSim.c_str(), "run", kDemo.c_str(), "--", "sh", "-c",
              ("trap 'echo got TERM; exit 42' TERM; touch " + ready +
               "; while :; do sleep 0.05; done")
                  .c_str(),
              nullptr);
        _exit(127);
    }
    for (int i = 0; i < 100 && access(ready.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 42);
    EXPECT_EQ(sim::readTextFile(out), "got TERM\n");
}

TEST_F(SimRun, CaptureReplaysAsRecorded) {
    simtest::TempDir dir;
    std::string capture = dir.path() + "/host.json";
    auto cap = simRun(kSim + " capture > " + capture);
    ASSERT_EQ(cap.status, 0) << cap.err;
    const std::string look =
        "for c in 'view -sys -msrv' 'view -lu' 'view -lu -item -hdev sddlmab' 'view -lu -item "
        "-hdev sddlmad'; do "
        "dlnkmgr $c | grep -v KAPL01001-I; echo \"rc=$?\"; done; dlnkmgr view -lu -item -hdev "
        "sddlmzz; echo \"rc=$?\";"
        "grep -v ' loop[0-9]*$' /proc/partitions; cat /proc/devices; ls -ln /dev | grep ' sd' | "
        "awk '{print $1, $5, $6, $NF}';"
        "for d in /dev/sddlm??; do sfdisk -d $d 2>&1 | grep start= | sed 's/, uuid=.*//'; done";
    auto live = simRun(look);
    auto replay = simRun(look, capture);
    ASSERT_EQ(replay.status, 0) << replay.err;
    // The manager's wake-up time differs between the two runs, and the machine's own loop devices
    // may come and go meanwhile; everything else is the same.
    auto dropTimes = [](std::string s) {
        size_t p = s.find("Alive");
        return p == std::string::npos ? s : s.erase(p, s.find('\n', p) - p);
    };
    EXPECT_EQ(dropTimes(replay.out), dropTimes(live.out));
    EXPECT_NE(live.out.find("sddlmab4"), std::string::npos);
}

TEST_F(SimRun, GeneratedFiveHundredTwelveLusAreAllThere) {
    simtest::TempDir dir;
    std::string topo = dir.path() + "/big.json";
    ASSERT_EQ(sh(kSim + " generate --lus 512 --paths 2 --partitions 2 > " + topo).status, 0);
    auto start = std::chrono::steady_clock::now();
    auto r = simRun(
        "dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}' | wc -l; ls /dev | grep -c '^sddlm';"
        "cat /proc/partitions | grep \"sddlm\" | wc -l; ls /dev/sddlmpap /dev/sddlmpap2",
        topo);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "512\n1536\n1536\n/dev/sddlmpap\n/dev/sddlmpap2\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// A host agent's environment: bash as /bin/sh, LANG only (the caller's LC_* dropped), grep
// obeying GREP_OPTIONS, dlnkmgr only under /opt and systemd's PATH; /opt and its entries as
// the machine has them, and left so.
TEST_F(SimRun, AgentEnvironmentOfARealHost) {
    std::string optBefore = sh("ls -A /opt 2>/dev/null").out;
    auto r = sh("LC_ALL=C LC_CTYPE=C LANGUAGE=en " + kSim +
                " run --userland bash --lang tr_TR.UTF-8 --old-grep --env "
                "GREP_OPTIONS=--color=always --service-path " +
                kDemo + " -- sh -c " +
                quote("echo \"sh=${BASH_VERSION:+bash}\"; echo sddlmaa | grep sd | cat -v;"
                      "unset GREP_OPTIONS; printf 'i\\n' | grep -c '[a-p]';"
                      "printf 'i\\n' | LC_ALL=C grep -c '[a-p]';"
                      "env | grep -E '^(LANG|LANGUAGE|LC_[A-Z]*)=';"
                      "echo \"$PATH\"; command -v dlnkmgr || echo no dlnkmgr on PATH;"
                      "/opt/DynamicLinkManager/bin/dlnkmgr view -sys -msrv | grep -c Alive;"
                      "/dev/.hdlm-sim/bin/hdlm-sim fault remove sdc >/dev/null && echo fault ok;"
                      "ls -A /opt | grep -v '^DynamicLinkManager$'"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "sh=bash\n^[[01;31m^[[Ksd^[[m^[[Kdlmaa\n"
              "0\n1\nLANG=tr_TR.UTF-8\n"
              "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin\nno dlnkmgr on PATH\n1\n"
              "fault ok\n" +
                  optBefore);
    EXPECT_EQ(sh("ls -A /opt 2>/dev/null").out, optBefore);
}

// Each userland's binary answers as sh, awk and grep; --old-grep wraps the grep of the userland.
TEST_F(SimRun, UserlandsReplaceShAwkAndGrep) {
    struct Case {
        std::string options;
        std::string script;
        std::string expected;
    } cases[] = {
        {"--userland busybox --old-grep",
         "for t in sh awk grep; do $t --help 2>&1 | head -1 | cut -c1-7; done;"
         "printf 'ab\\n' | GREP_OPTIONS=-o grep b",
         "BusyBox\nBusyBox\nBusyBox\nb\n"},
        {"--userland mawk", "awk -Wv 2>&1 | head -1 | cut -c1-4; grep -V | head -1 | cut -c1-8",
         "mawk\ngrep (GN\n"},
    };
    for (const Case& c : cases) {
        auto r = simRun(c.script, kDemo, c.options);
        EXPECT_EQ(r.status, 0) << c.options << ": " << r.err;
        EXPECT_EQ(r.out, c.expected) << c.options;
    }
}

// Another root file system: an older distribution, kept in a cache outside the clone.
const std::string kOldRoot = "/var/cache/tsmpio-hdlm/roots/bullseye";

class SimRunInOtherRoot : public SimRun {
protected:
    void SetUp() override {
        SimRun::SetUp();
        if (IsSkipped()) return;
        if (access((kOldRoot + "/bin/sh").c_str(), X_OK) != 0)
            GTEST_SKIP() << "no older root file system at " << kOldRoot
                         << " (make one with: debootstrap --variant=minbase bullseye " << kOldRoot
                         << ")";
    }
};

TEST_F(SimRunInOtherRoot, SeesTheSimulatedHostAndItsOwnFiles) {
    // What the plug-in looks at, before and after a refresh: the same in the old root as here.
    const std::string host =
        "dlnkmgr view -sys -msrv | grep -c Alive; dlnkmgr view -lu | grep 'sddlm' | awk '{print "
        "$2}'; dlnkmgr view -lu -item -hdev sddlmad | " +
        hdlm_commands::item_filter +
        ";"
        "grep sddlm /proc/partitions; cat /proc/devices | grep 'sddlmfdrv' | awk '{print $1}';"
        "ls -n /dev/sddlm* | awk '{print $1, $5, $6, $NF}'; dlnkmgr add -path -s | grep -c "
        "KAPL01001-I; ls /dev/sddlmae; blockdev --getsz /dev/sddlmaa1";
    auto here = simRun(host);
    ASSERT_EQ(here.status, 0) << here.err;
    simtest::TempDir carried;
    ASSERT_EQ(mkdir((carried.path() + "/sub").c_str(), 0755), 0);
    std::string mounts = sh("grep -c . /proc/self/mountinfo").out;
    auto there = sh("cd " + carried.path() + "/sub && " + kSim + " run --root " + kOldRoot +
                    " --bind " + carried.path() + ":/opt/carried " + kDemo + " -- sh -c " +
                    quote(host + "; echo --; cat /etc/debian_version; pwd; echo out > result;"
                                 "echo junk > /etc/hdlm-sim-junk"));
    ASSERT_EQ(there.status, 0) << there.err;
    size_t split = there.out.find("--\n");
    ASSERT_NE(split, std::string::npos) << there.out;
    EXPECT_EQ(there.out.substr(0, split), here.out);
    // The root's own files, the caller's folder at its place, the root itself left as it was.
    EXPECT_EQ(there.out.substr(split + 3),
              sim::readTextFile(kOldRoot + "/etc/debian_version") + "/opt/carried/sub\n");
    EXPECT_EQ(sim::readTextFile(carried.path() + "/sub/result"), "out\n");
    EXPECT_NE(access((kOldRoot + "/etc/hdlm-sim-junk").c_str(), F_OK), 0);
    EXPECT_EQ(sh("grep -c . /proc/self/mountinfo").out, mounts);
}

TEST_F(SimRun, UnusableRootsAndBindsAreRefusedByName) {
    simtest::TempDir empty;
    struct Case {
        std::string options;
        std::string says;
    } cases[] = {
        {"--root /nonexistent/root", "/nonexistent/root: cannot use it: No such file"},
        {"--root " + empty.path(), empty.path() + ": no executable /bin/sh inside"},
        {"--root " + kDemo, kDemo + ": not a directory"},
        {"--bind " + empty.path(), "--bind requires --root"},
        {"--root " + empty.path() + " --bind /nonexistent/src", "/nonexistent/src"},
        // The command would silently run in the C locale.
        {"--lang xx_YY.UTF-8", "--lang xx_YY.UTF-8: this machine has not generated"},
        {"--env GREP_OPTIONS", "--env 'GREP_OPTIONS': expected NAME=VALUE"},
        {"--root " + empty.path() + " --userland busybox", "--userland cannot be used with --root"},
    };
    for (const Case& c : cases) {
        auto r = sh(kSim + " run " + c.options + " " + kDemo + " -- true");
        EXPECT_EQ(r.status, 2) << c.options;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.options << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.options;
    }
}

}  // namespace
