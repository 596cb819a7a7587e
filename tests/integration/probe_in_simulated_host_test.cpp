// `make demo`'s path: mpio-probe's JSON report, taken inside the demo's simulated host, is the
// demo topology — every LU with its paths and partitions. Also the cost of the largest host.
#include <algorithm>
#include <regex>
#include <set>

#include "host_model.h"
#include "simulated_host_test.h"
#include "temp_dir.h"

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
    const testsupport::HostModel model = testsupport::HostModel::fromJson(topology);
    const std::string loops = scratch().file("loops.txt");
    testsupport::ProgramResult r =
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

        const std::vector<plugin_calls::PartitionRecord> expected = model.partitions(names[d]);
        const json& parts = disk.at("partitions").at("partitions");
        ASSERT_EQ(parts.size(), expected.size());
        std::set<long> diskMinors, majors;
        for (size_t i = 0; i < expected.size(); ++i) {
            const json& p = parts[i];
            SCOPED_TRACE("partition " + std::to_string(expected[i].number));
            EXPECT_EQ(p.at("name"), expected[i].name);
            EXPECT_EQ(p.at("number"), expected[i].number);
            EXPECT_EQ(p.at("start"), expected[i].start);
            EXPECT_EQ(p.at("sectors"), expected[i].sectors);
            EXPECT_EQ(p.at("sectorSize"), expected[i].sectorSize);
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

// The report as a reader compares it: the plug-in's path and the loop devices' numbers are this
// machine's, and the columns' padding follows from them.
std::string comparableReport(const std::string& text) {
    std::string out = std::regex_replace(text, std::regex("plug-in: [^\n]*"), "plug-in: PATH");
    out = std::regex_replace(out, std::regex("[0-9]+:[0-9]+"), "MAJ:MIN");
    return std::regex_replace(out, std::regex(" +"), " ");
}

// The sample report in the probe's manual is the demo's, so that it can't drift from what the
// demo prints.
TEST_F(ProbeInSimulatedHost, ManualShowsTheDemoReport) {
    const std::string manual = testsupport::readFile(PROBE_MANUAL);
    const size_t section = manual.find("### The report");
    ASSERT_NE(section, std::string::npos) << PROBE_MANUAL << " has no section \"### The report\"";
    const size_t open = manual.find("```\n", section);
    const size_t close = manual.find("```\n", open + 4);
    ASSERT_NE(close, std::string::npos) << PROBE_MANUAL << ": no sample report after the section";
    const std::string sample = manual.substr(open + 4, close - open - 4);

    testsupport::ProgramResult r =
        runInSimulatedHost(writeTopology(demoTopology()), {MPIO_PROBE_BIN, "report"},
                           {"TS_DEBUG_LOG=" + scratch().file("plugin.log")});
    ASSERT_EQ(r.status, 0) << r.describe();
    EXPECT_EQ(comparableReport(sample), comparableReport(r.out))
        << PROBE_MANUAL << " shows another report than the demo prints; paste this one:\n"
        << r.out;
}

// The environments an agent meets on real HDLM hosts (RHEL, Oracle Linux, SLES; a service
// started by systemd): the demo's whole report in each equals the report in this machine's own
// (dash, gawk, GNU grep 3.8, the C locale, dlnkmgr first on PATH).
class AgentEnvironments : public SimulatedHostTest {};

struct AgentEnvironment {
    const char* name;
    std::vector<std::string> simOptions;  // hdlm-sim run's
    bool userland;                        // another /bin/sh, awk or grep
    const char* itemMessage;              // a KAPL line among every -item listing's paths
};

TEST_F(AgentEnvironments, ReportIsTheSameInEach) {
    nlohmann::json topology = demoTopology();
    // In the Turkic locales grep's [a-p] does not match "i": an LU named sddlmai, with a partition.
    topology["storageSystems"][0]["lus"].push_back(nlohmann::json::parse(R"({
        "ilu": "001A08", "hdev": "sddlmai", "sizeMiB": 32,
        "partitionTable": { "label": "dos", "partitions": [
            { "number": 1, "kind": "primary", "start": 2048, "size": 20480 } ] },
        "paths": [ { "device": "sdq" }, { "device": "sdr" } ] })"));
    const AgentEnvironment environments[] = {
        {"bash as /bin/sh", {"--userland", "bash"}, true, nullptr},
        {"busybox sh, awk and grep", {"--userland", "busybox"}, true, nullptr},
        {"mawk as awk", {"--userland", "mawk"}, true, nullptr},
        {"LANG=tr_TR.UTF-8", {"--lang", "tr_TR.UTF-8"}, false, nullptr},
        {"a grep that obeys GREP_OPTIONS=--color=always",
         {"--old-grep", "--env", "GREP_OPTIONS=--color=always"},
         false,
         nullptr},
        {"a service's PATH, dlnkmgr only in HDLM's folder", {"--service-path"}, false, nullptr},
        {"a message among the -item lines",
         {},
         false,
         "KAPL01039-W The path /dev/sdf was placed offline."},
        {"a RHEL 8 service: all of them at once",
         {"--userland", "bash", "--lang", "tr_TR.UTF-8", "--old-grep", "--env",
          "GREP_OPTIONS=--color=always", "--service-path"},
         true,
         "KAPL01039-W The path /dev/sdf was placed offline."},
    };
    const auto report = [&](const nlohmann::json& hostTopology, const AgentEnvironment* in) {
        const std::string file = scratch().write("topology.json", hostTopology.dump(2));
        testsupport::ProgramResult r = runInSimulatedHost(
            file, {MPIO_PROBE_BIN, "report"}, {"TS_DEBUG_LOG=" + scratch().file("plugin.log")}, "",
            in ? in->simOptions : std::vector<std::string>{});
        EXPECT_EQ(r.status, 0) << r.describe();
        return comparableReport(r.out);
    };
    const std::string plain = report(topology, nullptr);
    ASSERT_NE(plain.find("/dev/sddlmai1"), std::string::npos) << plain;
    for (const AgentEnvironment& environment : environments) {
        SCOPED_TRACE(environment.name);
#ifdef TSMPIO_SANITIZED_BUILD
        // The plug-in's code is the same under every userland: the plain tree proves those rows.
        if (environment.userland) continue;
#endif
        nlohmann::json hostTopology = topology;
        if (environment.itemMessage)
            hostTopology["dlnkmgr"]["faults"]["view -lu -item"] = {
                {"message", environment.itemMessage}};
        EXPECT_EQ(report(hostTopology, &environment), plain);
    }
}

TEST_F(ProbeInSimulatedHost, LargestHostIsBuiltAndRemovedInSeconds) {
    testsupport::ProgramResult generated = testsupport::runProgram(
        {HDLM_SIM_BIN, "generate", "--lus", "512", "--paths", "2", "--partitions", "2"});
    ASSERT_EQ(generated.status, 0) << generated.describe();
    const std::string topology = scratch().write("topology-512.json", generated.out);
    testsupport::ProgramResult r = runInSimulatedHost(topology, {"true"});
    std::cout << "[  TIMING  ] a simulated host of 512 LUs built and removed in " << r.seconds
              << " s\n";
    RecordProperty("setup_seconds_512_lus", std::to_string(r.seconds));
    EXPECT_EQ(r.status, 0) << r.describe();
    EXPECT_LT(r.seconds, 20.0) << "the 512-LU host takes too long to build for the test suite";
}

}  // namespace
}  // namespace integ
