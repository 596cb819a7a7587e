// `mpio-probe report`: the tree's layout, its JSON, and how failures inside it show.
#include <gtest/gtest.h>

#include "probe_sandbox.h"

namespace probe_test {
namespace {

using nlohmann::json;

const char* const kTwoDiskTree =
    "init()                       = \"Fake MPIO vendor\"\n"
    "getVendorName()              = \"Fake MPIO vendor\"\n"
    "getMPIODevices(capacity=64)  = 0  count=2\n"
    "\n"
    "NAME             TYPE  MAJ:MIN   START  SECTORS  SIZE  CALLS\n"
    "/dev/sddlmaa     disk                                  getUnderlyingDevices=0 "
    "getPartitionDevices=2\n"
    "├─sdc            path\n"
    "├─sdd            path\n"
    "├─/dev/sddlmaa1  part    253:1    2048   204800  100M  isPartitionDevice=1 "
    "parent=/dev/sddlmaa\n"
    "└─/dev/sddlmaa2  part    253:2  206848  3145728  1.5G  isPartitionDevice=1 "
    "parent=/dev/sddlmaa\n"
    "/dev/sddlmab     disk                                  getUnderlyingDevices=0 "
    "getPartitionDevices=0\n"
    "├─sde            path\n"
    "├─sdf            path\n"
    "└─sdg            path\n"
    "\n"
    "2 devices, 5 paths, 2 partitions; every call succeeded\n";

TEST(ProbeReport, TextIsAnAlignedTree) {
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    ProbeRun r = sandbox.run({"report"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "plug-in: " + ProbeSandbox::kFakePlugin + "\n" + kTwoDiskTree);
}

TEST(ProbeReport, NoDevicesGivesTheSummaryAlone) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario["devices"]["items"] = json::array();
    sandbox.writeScenario(scenario);
    ProbeRun r = sandbox.run({"report"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("count=0\n\n0 devices, 0 paths, 0 partitions; every call succeeded\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("NAME"), std::string::npos) << r.out;
}

TEST(ProbeReport, CallsEveryEntryPointInTheHostsOrder) {
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    sandbox.run({"report"});
    EXPECT_EQ(sandbox.calls(), (std::vector<std::string>{
                                   "init",
                                   "getVendorName",
                                   "getMPIODevices capacity=64",
                                   "getUnderlyingDevices /dev/sddlmaa capacity=64",
                                   "getPartitionDevices /dev/sddlmaa capacity=64",
                                   "isPartitionDevice /dev/sddlmaa1",
                                   "isPartitionDevice /dev/sddlmaa2",
                                   "getUnderlyingDevices /dev/sddlmab capacity=64",
                                   "getPartitionDevices /dev/sddlmab capacity=64",
                               }));
}

void expectCall(const json& call, const std::string& function) {
    EXPECT_EQ(call.at("function"), function);
    EXPECT_TRUE(call.at("failed").is_boolean()) << function;
    EXPECT_TRUE(call.at("errorCode").is_number_integer()) << function;
    EXPECT_TRUE(call.at("errorMessage").is_string()) << function;
    EXPECT_TRUE(call.contains("result")) << function;
}

TEST(ProbeReport, JsonFollowsTheDocumentedSchema) {
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    json doc = sandbox.runJson({"report"});

    EXPECT_EQ(doc.at("schemaVersion"), 1);
    EXPECT_EQ(doc.at("command"), "report");
    EXPECT_EQ(doc.at("plugin"), ProbeSandbox::kFakePlugin);
    EXPECT_EQ(doc.at("exitStatus"), 0);
    EXPECT_EQ(doc.at("ok"), true);
    expectCall(doc.at("init"), "init");
    EXPECT_EQ(doc["init"].at("result"), "Fake MPIO vendor");

    const json& report = doc.at("report");
    expectCall(report.at("vendor"), "getVendorName");
    expectCall(report.at("devices"), "getMPIODevices");
    EXPECT_EQ(report["devices"].at("items"), json({"/dev/sddlmaa", "/dev/sddlmab"}));

    const json& disks = report.at("disks");
    ASSERT_EQ(disks.size(), 2u);
    const json& first = disks[0];
    EXPECT_EQ(first.at("device"), "/dev/sddlmaa");
    expectCall(first.at("underlying"), "getUnderlyingDevices");
    EXPECT_EQ(first["underlying"].at("device"), "/dev/sddlmaa");
    EXPECT_EQ(first["underlying"].at("items"), json({"sdc", "sdd"}));
    expectCall(first.at("partitions"), "getPartitionDevices");
    EXPECT_EQ(first["partitions"].at("result"), 2);

    const json& p2 = first["partitions"].at("partitions").at(1);
    EXPECT_EQ(p2.at("name"), "/dev/sddlmaa2");
    EXPECT_EQ(p2.at("number"), 2);
    EXPECT_EQ(p2.at("start"), 206848);
    EXPECT_EQ(p2.at("sectors"), 3145728);
    EXPECT_EQ(p2.at("sectorSize"), 512);
    EXPECT_EQ(p2.at("bytes"), 3145728ull * 512);
    EXPECT_EQ(p2.at("size"), "1.5G");
    EXPECT_EQ(p2.at("major"), 253);
    EXPECT_EQ(p2.at("minor"), 2);
    const json& check = p2.at("check");
    expectCall(check, "isPartitionDevice");
    EXPECT_EQ(check.at("device"), "/dev/sddlmaa2");
    EXPECT_EQ(check.at("answer"), true);
    EXPECT_EQ(check.at("parent"), "/dev/sddlmaa");
    EXPECT_EQ(check.at("parentMatches"), true);

    EXPECT_EQ(disks[1]["underlying"].at("items"), json({"sde", "sdf", "sdg"}));
    EXPECT_TRUE(disks[1]["partitions"].at("partitions").empty());
}

// Every command's document carries the common keys and its own, with the call's fields.
TEST(ProbeJson, EveryCommandHasItsKey) {
    struct Case {
        std::vector<std::string> args;
        const char* key;
        const char* function;
    };
    const std::vector<Case> cases = {
        {{"vendor"}, "vendor", "getVendorName"},
        {{"devices"}, "devices", "getMPIODevices"},
        {{"is-mpio", "/dev/sddlmaa"}, "isMpio", "isMPIODevice"},
        {{"underlying", "/dev/sddlmaa"}, "underlying", "getUnderlyingDevices"},
        {{"is-partition", "/dev/sddlmaa1"}, "isPartition", "isPartitionDevice"},
        {{"partitions", "/dev/sddlmaa"}, "partitions", "getPartitionDevices"},
        {{"refresh"}, "refresh", "refreshMPIO"},
        {{"delete", "/dev/sddlmaa"}, "delete", "deleteMPIODevice"},
    };
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        json doc = sandbox.runJson(c.args);
        EXPECT_EQ(doc.at("command"), c.args[0]);
        EXPECT_EQ(doc.at("ok"), true);
        expectCall(doc.at("init"), "init");
        expectCall(doc.at(c.key), c.function);
    }
    EXPECT_EQ(sandbox.runJson({"is-mpio", "/dev/sddlmaa"})["isMpio"].at("answer"), true);
    EXPECT_EQ(sandbox.runJson({"is-partition", "/dev/sddlmaa1"})["isPartition"].at("parent"),
              "/dev/sddlmaa");
    json noInit = sandbox.runJson({"--no-init", "vendor"});
    EXPECT_TRUE(noInit.at("init").is_null());
    json refused = sandbox.runJson({"is-mpio", "/dev/sda"}, 1);
    EXPECT_EQ(refused.at("ok"), false);
    EXPECT_EQ(refused.at("exitStatus"), 1);
    EXPECT_EQ(refused["isMpio"].at("answer"), false);
}

// Failures inside the report: each shows where it happened, the rest is still shown, exit 1.
struct ReportFailureCase {
    const char* name;
    const char* scenarioPatch;
    std::vector<std::string> expectedText;
};

std::ostream& operator<<(std::ostream& out, const ReportFailureCase& c) {
    return out << c.name;
}

class ProbeReportFailure : public testing::TestWithParam<ReportFailureCase> {};

TEST_P(ProbeReportFailure, MarksTheFailureAndExitsOne) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario.merge_patch(json::parse(GetParam().scenarioPatch));
    sandbox.writeScenario(scenario);
    ProbeRun r = sandbox.run({"report"});
    EXPECT_EQ(r.status, 1) << r.out;
    for (const auto& text : GetParam().expectedText) {
        EXPECT_NE(r.out.find(text), std::string::npos) << "missing [" << text << "] in:\n" << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProbeReportFailure,
    testing::Values(
        ReportFailureCase{
            "paths_fail",
            R"({"underlying": {"/dev/sddlmab": {"status": 2, "errorText": "KAPL01012-E"}}})",
            {"/dev/sddlmab     disk                                   getUnderlyingDevices=-2 "
             "getPartitionDevices=0\n"
             "└─(paths)        error                                  getUnderlyingDevices(/dev/"
             "sddlmab) FAILED errorCode=2 errorMessage=\"KAPL01012-E\"\n",
             "├─sdc            path\n", "2 devices, 2 paths, 2 partitions; 1 problem(s)"}},
        ReportFailureCase{"partitions_fail",
                          R"({"partitions": {"/dev/sddlmab": {"status": -22}}})",
                          {"└─(partitions)",
                           "getPartitionDevices(/dev/sddlmab) FAILED "
                           "errorCode=-22 errorMessage=\"/dev/sddlmab\""}},
        ReportFailureCase{"not_a_partition",
                          R"({"partitionOf": {"/dev/sddlmaa2": null}})",
                          {"isPartitionDevice=0 NOT A PARTITION"}},
        ReportFailureCase{"parent_mismatch",
                          R"({"partitionOf": {"/dev/sddlmaa2": {"parent": "/dev/sddlmab"}}})",
                          {"parent=/dev/sddlmab MISMATCH: listed under /dev/sddlmaa"}},
        ReportFailureCase{"device_list_fails",
                          R"({"devices": {"status": 1, "errorText": "no HDLM"}})",
                          {"getMPIODevices(capacity=64)  = -1  FAILED errorCode=1 "
                           "errorMessage=\"no HDLM\"",
                           "0 devices, 0 paths, 0 partitions; 1 problem(s)"}},
        ReportFailureCase{"init_fails",
                          R"({"init": {"fail": true}})",
                          {"init()  = null  FAILED errorCode=0 errorMessage=\"\"  the multipath "
                           "driver is not usable here; nothing else was called"}}),
    [](const testing::TestParamInfo<ReportFailureCase>& info) {
        return std::string(info.param.name);
    });

// The error outputs are cleared before each call: a failed check's text never shows as the next
// check's, even though the plug-in leaves them untouched on success.
TEST(ProbeReport, ErrorTextOfOneCallNeverShowsOnTheNext) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario["partitionOf"]["/dev/sddlmaa1"] = {{"statErrno", 13}};
    sandbox.writeScenario(scenario);

    json doc = sandbox.runJson({"report"}, 1);
    const json& parts = doc["report"]["disks"][0]["partitions"]["partitions"];
    EXPECT_EQ(parts[0]["check"].at("failed"), true);
    EXPECT_EQ(parts[0]["check"].at("errorCode"), 13);
    EXPECT_EQ(parts[0]["check"].at("errorMessage"), "Stat /dev/sddlmaa1 failed:13");
    EXPECT_EQ(parts[1]["check"].at("failed"), false);
    EXPECT_EQ(parts[1]["check"].at("errorCode"), 0);
    EXPECT_EQ(parts[1]["check"].at("errorMessage"), "");

    ProbeRun text = sandbox.run({"report"});
    EXPECT_EQ(text.out.find("failed:13"), text.out.rfind("failed:13")) << "shown once:\n"
                                                                       << text.out;
}

TEST(ProbeReport, RetriedListsShowBothResults) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    std::vector<std::string> paths;
    for (int i = 0; i < 65; ++i) paths.push_back("sdx" + std::to_string(i));
    scenario["underlying"]["/dev/sddlmab"]["items"] = paths;
    sandbox.writeScenario(scenario);
    ProbeRun r = sandbox.run({"report"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("getUnderlyingDevices=65 then 0 (capacity 65) getPartitionDevices=0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("└─sdx64 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 devices, 67 paths, 2 partitions; every call succeeded"),
              std::string::npos);
}

}  // namespace
}  // namespace probe_test
