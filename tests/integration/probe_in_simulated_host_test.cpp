// `make demo`'s path: mpio-probe's JSON report, taken inside the demo's simulated host, is the
// demo topology — every LU with its paths and partitions. Also the cost of the largest host.
#include <algorithm>
#include <set>

#include "host_model.h"
#include "simulated_host_test.h"

namespace integ {
namespace {

using nlohmann::json;

class ProbeInSimulatedHost : public SimulatedHostTest {};

// Records the loop minors behind /dev/sddlm* (major 7) for the leak check, then runs the probe.
std::vector<std::string> probeRecordingLoops(const std::string& loops) {
    const std::string script =
        "for n in /dev/sddlm*; do [ \"$(stat -c %t \"$n\")\" = 7 ] && echo $((0x$(stat -c %T "
        "\"$n\"))); done > \"$1\";"
        " exec \"$0\" --json report";
    return {"/bin/sh", "-c", script, MPIO_PROBE_BIN, loops};
}

TEST_F(ProbeInSimulatedHost, JsonReportShowsEveryLuPathAndPartitionOfTheTopology) {
    const json topology = demoTopology();
    const topology::HostModel model = topology::HostModel::fromJson(topology);
    const std::string loops = scratch().file("loops.txt");
    testsupport::CommandResult r =
        runInSimulatedHost(writeTopology(topology), probeRecordingLoops(loops),
                           {"TS_DEBUG_LOG=" + scratch().file("plugin.log")}, loops);
    ASSERT_EQ(r.status, 0) << r.describe();
    json doc = json::parse(r.out);
    EXPECT_EQ(doc.at("exitStatus"), 0);
    EXPECT_EQ(doc.at("ok"), true);
    EXPECT_EQ(doc.at("init").at("result"), doc.at("report").at("vendor").at("result"));

    const json& report = doc.at("report");
    EXPECT_EQ(report.at("devices").at("items").get<std::vector<std::string>>(), model.devices());
    EXPECT_EQ(report.at("devices").at("complete"), true);
    const std::vector<std::string> names = model.deviceNames();
    ASSERT_EQ(report.at("disks").size(), names.size());
    for (size_t d = 0; d < names.size(); ++d) {
        const json& disk = report.at("disks")[d];
        const std::string path = "/dev/" + names[d];
        SCOPED_TRACE(path);
        EXPECT_EQ(disk.at("device"), path);
        std::vector<std::string> paths =
            disk.at("underlying").at("items").get<std::vector<std::string>>();
        std::sort(paths.begin(), paths.end());
        EXPECT_EQ(paths, model.underlying(names[d]));

        const std::vector<topology::ExpectedPartition> expected = model.partitions(names[d]);
        const json& parts = disk.at("partitions").at("partitions");
        ASSERT_EQ(parts.size(), expected.size());
        std::set<long> diskMinors, majors;
        for (size_t i = 0; i < expected.size(); ++i) {
            const json& p = parts[i];
            SCOPED_TRACE("partition " + std::to_string(expected[i].number));
            EXPECT_EQ(p.at("name"), path + std::to_string(expected[i].number));
            EXPECT_EQ(p.at("number"), expected[i].number);
            EXPECT_EQ(p.at("start"), expected[i].start);
            EXPECT_EQ(p.at("sectors"), expected[i].sectors);
            EXPECT_EQ(p.at("sectorSize"), 512);
            EXPECT_EQ(p.at("check").at("answer"), true);
            EXPECT_EQ(p.at("check").at("parent"), path);
            // Every partition of a disk: the disk's major, and the disk's minor plus its number.
            majors.insert(p.at("major").get<long>());
            diskMinors.insert(p.at("minor").get<long>() - expected[i].number);
        }
        if (!expected.empty()) {
            EXPECT_EQ(majors.size(), 1u);
            ASSERT_EQ(diskMinors.size(), 1u);
            EXPECT_EQ(*diskMinors.begin() % 16, 0);
        }
    }
}

TEST_F(ProbeInSimulatedHost, LargestHostIsBuiltAndRemovedInSeconds) {
    testsupport::CommandResult generated = testsupport::runCommand(
        {HDLM_SIM_BIN, "generate", "--lus", "512", "--paths", "2", "--partitions", "2"});
    ASSERT_EQ(generated.status, 0) << generated.describe();
    const std::string topology = scratch().write("topology-512.json", generated.out);
    testsupport::CommandResult r = runInSimulatedHost(topology, {"true"});
    std::cout << "[  TIMING  ] a simulated host of 512 LUs built and removed in " << r.seconds
              << " s\n";
    RecordProperty("setup_seconds_512_lus", std::to_string(r.seconds));
    EXPECT_EQ(r.status, 0) << r.describe();
    EXPECT_LT(r.seconds, 20.0) << "the 512-LU host takes too long to build for the test suite";
}

}  // namespace
}  // namespace integ
