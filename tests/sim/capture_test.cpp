// Capture without root: a prepared simulated host (state, /proc files, a dlnkmgr link) and a
// device folder holding image files stand in for the host; the replay answers as recorded.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "dlnkmgr/state_file.h"
#include "hdlm_commands.h"
#include "sandbox/partition_image.h"
#include "sim_fixtures.h"
#include "topology/numbering.h"
#include "topology_writers/capture.h"

namespace {

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        env = simtest::prepareSimulatedHost(dir, simtest::demoTopology());
        dev = dir.path() + "/dev";
        mkdir(dev.c_str(), 0755);
        sim::Topology demo = simtest::demoTopology();
        const char* names[] = {"sddlmaa", "sddlmab", "sddlmac", "sddlmad"};
        size_t i = 0;
        for (const auto& ss : demo.storageSystems)
            for (const auto& lu : ss.lus) {
                if (i >= 4) break;
                std::string image = dev + "/" + names[i++];
                if (lu.table)
                    sim::writePartitionImage(image, lu.sizeMiB << 20, *lu.table);
                else
                    sim::writeBlankImage(image, lu.sizeMiB << 20);
            }
        // captureHost runs dlnkmgr itself: it must find the link and the state.
        oldPath = getenv("PATH") ? getenv("PATH") : "";
        setenv("PATH", (dir.path() + "/bin:" + oldPath).c_str(), 1);
        setenv(sim::kStateEnv, (dir.path() + "/state.json").c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath.c_str(), 1);
        unsetenv(sim::kStateEnv);
    }
    sim::Topology capture() {
        sim::CaptureOptions o;
        o.devDir = dev;
        o.procPartitions = dir.path() + "/partitions";
        o.procDevices = dir.path() + "/devices";
        return sim::captureHost(o);
    }
    simtest::TempDir dir;
    std::string env, dev, oldPath;
};

std::string withoutTimes(std::string s) {
    for (size_t p; (p = s.find("completion time = ")) != std::string::npos;) s.erase(p, 18 + 19);
    for (size_t p; (p = s.find("Alive        ")) != std::string::npos;)
        s.erase(p, s.find('\n', p) - p);
    return s;
}

TEST_F(Capture, RecordsViewsProcFilesAndTables) {
    sim::Topology t = capture();
    ASSERT_TRUE(t.recording);
    const sim::Recording& rec = *t.recording;
    std::vector<std::string> keys;
    for (const auto& [k, c] : rec.commands) keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"view -lu", "view -lu -item -hdev sddlmaa",
                                              "view -lu -item -hdev sddlmab",
                                              "view -lu -item -hdev sddlmac",
                                              "view -lu -item -hdev sddlmad", "view -sys -msrv"}));
    EXPECT_EQ(withoutTimes(rec.commands.at("view -lu").out),
              withoutTimes(simtest::sh("dlnkmgr view -lu", env).out));
    EXPECT_EQ(rec.commands.at("view -lu").status, 0);
    EXPECT_EQ(rec.procPartitions, sim::readTextFile(dir.path() + "/partitions"));
    EXPECT_EQ(rec.procDevices, sim::readTextFile(dir.path() + "/devices"));
    EXPECT_TRUE(rec.nodes.empty());  // image files are not device nodes

    sim::Topology demo = simtest::demoTopology();
    ASSERT_EQ(rec.disks.size(), 4u);
    const sim::LU* lus[] = {&demo.storageSystems[0].lus[0], &demo.storageSystems[0].lus[1],
                            &demo.storageSystems[0].lus[2], &demo.storageSystems[1].lus[0]};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(rec.disks[i].name);
        EXPECT_EQ(rec.disks[i].sectors, lus[i]->sizeMiB * 2048);
        ASSERT_EQ(bool(rec.disks[i].table), bool(lus[i]->table));
        if (!lus[i]->table) continue;
        EXPECT_EQ(rec.disks[i].table->label, lus[i]->table->label);
        ASSERT_EQ(rec.disks[i].table->partitions.size(), lus[i]->table->partitions.size());
        for (size_t k = 0; k < lus[i]->table->partitions.size(); ++k) {
            const sim::Partition& want = lus[i]->table->partitions[k];
            const sim::Partition& got = rec.disks[i].table->partitions[k];
            EXPECT_EQ(got.number, want.number);
            EXPECT_EQ(got.start, want.start);
            EXPECT_EQ(got.size, want.size);
            if (lus[i]->table->label == "dos") {
                EXPECT_EQ(got.kind, want.kind);
                EXPECT_EQ(got.type, want.type.empty() ? "83" : want.type);
            }
        }
    }
    // What it wrote is a topology that loads again.
    EXPECT_NO_THROW(sim::parseTopology(sim::toJson(t)));
}

TEST_F(Capture, ReplayAnswersAsRecorded) {
    sim::Topology t = capture();
    t.recording->commands["view -lu"].status = 3;  // a field quirk: output and a failure status
    t.recording->commands["view -lu"].err = "odd\n";
    simtest::TempDir replayDir;
    t.runtime.emplace();
    t.runtime->procPartitionsFile = replayDir.path() + "/partitions";
    t.runtime->procDevicesFile = replayDir.path() + "/devices";
    std::string state = replayDir.path() + "/state.json";
    sim::saveState(state, t);
    sim::publishHost(t);
    std::string replayEnv = "PATH=" + dir.path() + "/bin:/usr/bin:/bin HDLM_SIM_STATE=" + state;
    auto lu = simtest::sh("dlnkmgr view -lu", replayEnv);
    EXPECT_EQ(lu.status, 3);
    EXPECT_EQ(lu.out, t.recording->commands["view -lu"].out);
    EXPECT_EQ(lu.err, "odd\n");
    EXPECT_EQ(simtest::sh("dlnkmgr view -lu -item -hdev sddlmab | " + hdlm_commands::item_filter,
                          replayEnv)
                  .out,
              "/dev/sdd\n/dev/sdh\n");
    EXPECT_NE(
        simtest::sh("dlnkmgr view -lu -item -hdev sddlmzz", replayEnv).out.find("KAPL01018-W"),
        std::string::npos);
    EXPECT_EQ(simtest::sh("dlnkmgr add -path -s", replayEnv).status, 0);
    EXPECT_EQ(sim::readTextFile(replayDir.path() + "/partitions"), t.recording->procPartitions);
}

}  // namespace
