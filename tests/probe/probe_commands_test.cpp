// Each command's answer and exit status, for the plug-in's yes, no and failure answers.
#include <gtest/gtest.h>

#include "plugin_calls.h"
#include "probe_sandbox.h"
#include "project_version.h"
#include "temp_dir.h"

namespace probe_test {
namespace {

using nlohmann::json;

struct CommandCase {
    const char* name;
    std::vector<std::string> args;
    const char* scenarioPatch;  // merged into the two-disk scenario
    int exitStatus;
    std::vector<std::string> expectedText;  // each must appear in stdout
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
    return out << c.name;
}

class ProbeCommand : public testing::TestWithParam<CommandCase> {};

TEST_P(ProbeCommand, ShowsTheResultAndExitsAccordingly) {
    const CommandCase& c = GetParam();
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario.merge_patch(json::parse(c.scenarioPatch));
    sandbox.writeScenario(scenario);

    ProbeRun r = sandbox.run(c.args);
    EXPECT_EQ(r.status, c.exitStatus) << r.out << r.err;
    for (const auto& text : c.expectedText) {
        EXPECT_NE(r.out.find(text), std::string::npos) << "missing [" << text << "] in:\n" << r.out;
    }
    // A successful run shows no failure anywhere.
    bool failed = r.out.find("FAILED") != std::string::npos;
    if (c.exitStatus == 0) {
        EXPECT_FALSE(failed) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ProbeCommand,
    testing::Values(
        CommandCase{"vendor", {"vendor"}, "{}", 0, {"getVendorName() ", "= \"Fake MPIO vendor\""}},
        CommandCase{"version", {"--version"}, "{}", 0, {"mpio-probe " TSMPIO_HDLM_VERSION "\n"}},
        CommandCase{
            "vendor_null", {"vendor"}, R"({"vendorIsNull": true})", 1, {"= null", "FAILED"}},
        CommandCase{"init", {"init"}, "{}", 0, {"init() ", "= \"Fake MPIO vendor\""}},
        CommandCase{"init_fails",
                    {"init"},
                    R"({"init": {"fail": true}})",
                    1,
                    {"init() ", "= null", "FAILED errorCode=0 errorMessage=\"\""}},
        CommandCase{"devices",
                    {"devices"},
                    "{}",
                    0,
                    {"getMPIODevices(capacity=64)", "= 0", "count=2", "  /dev/sddlmaa\n",
                     "  /dev/sddlmab\n"}},
        CommandCase{"devices_command_fails",
                    {"devices"},
                    R"({"devices": {"status": 2, "errorText": "KAPL01012-E no manager"}})",
                    1,
                    {"= -2", "FAILED errorCode=2 errorMessage=\"KAPL01012-E no manager\""}},
        CommandCase{"is_mpio_yes",
                    {"is-mpio", "/dev/sddlmaa1"},
                    "{}",
                    0,
                    {"isMPIODevice(/dev/sddlmaa1)", "= 1", "yes"}},
        CommandCase{"is_mpio_no",
                    {"is-mpio", "/dev/sda"},
                    "{}",
                    1,
                    {"isMPIODevice(/dev/sda)", "= 0", "no: not a multipath device"}},
        CommandCase{"is_mpio_fails",
                    {"is-mpio", "/dev/sda"},
                    R"({"isMpioResult": -1})",
                    1,
                    {"= -1", "FAILED"}},
        CommandCase{
            "underlying",
            {"underlying", "/dev/sddlmab"},
            "{}",
            0,
            {"getUnderlyingDevices(/dev/sddlmab, capacity=64)", "= 0", "  sde\n", "  sdg\n"}},
        CommandCase{"underlying_not_mpio",
                    {"underlying", "/dev/sda"},
                    "{}",
                    1,
                    {"= -6  FAILED errorCode=0 errorMessage=\"\" (not a multipath device)"}},
        CommandCase{"underlying_command_fails",
                    {"underlying", "/dev/sddlmaa"},
                    R"({"underlying": {"/dev/sddlmaa": {"status": -5, "errorText": "timed out"}}})",
                    1,
                    {"= -5", "FAILED errorCode=-5 errorMessage=\"timed out\""}},
        CommandCase{"is_partition_yes",
                    {"is-partition", "/dev/sddlmaa2"},
                    "{}",
                    0,
                    {"isPartitionDevice(/dev/sddlmaa2)", "= 1", "a partition of /dev/sddlmaa"}},
        CommandCase{"is_partition_no",
                    {"is-partition", "/dev/sddlmaa"},
                    "{}",
                    1,
                    {"= 0", "no: not a partition"}},
        CommandCase{"is_partition_stat_fails",
                    {"is-partition", "/dev/nosuch1"},
                    R"({"partitionOf": {"/dev/nosuch1": {"statErrno": 2}}})",
                    1,
                    {"= 0", "FAILED errorCode=2 errorMessage=\"Stat /dev/nosuch1 failed:2\""}},
        CommandCase{"partitions",
                    {"partitions", "/dev/sddlmaa"},
                    "{}",
                    0,
                    {"getPartitionDevices(/dev/sddlmaa, capacity=64)", "= 2", "count=2",
                     "/dev/sddlmaa1   1    253:1    2048   204800     512  100M",
                     "/dev/sddlmaa2   2    253:2  206848  3145728     512  1.5G"}},
        CommandCase{"partitions_of_a_partition",
                    {"partitions", "/dev/sddlmaa1"},
                    "{}",
                    1,
                    {"= -1", "FAILED errorCode=-1 errorMessage=\"/dev/sddlmaa1\""}},
        // The fake writes 0 and "" into the error outputs: nothing to show.
        CommandCase{"refresh", {"refresh"}, "{}", 0, {"refreshMPIO()  = 0\n"}},
        CommandCase{"refresh_writes_text_yet_succeeds",
                    {"refresh"},
                    R"({"refresh": {"status": 0, "errorText": "paths unchanged"}})",
                    0,
                    {"refreshMPIO()  = 0  (wrote errorCode=0 errorMessage=\"paths unchanged\")\n"}},
        CommandCase{"refresh_fails",
                    {"refresh"},
                    R"({"refresh": {"status": 3, "errorText": "KAPL05023-E add failed"}})",
                    1,
                    {"= 3", "FAILED errorCode=3 errorMessage=\"KAPL05023-E add failed\""}},
        CommandCase{"delete",
                    {"delete", "/dev/sddlmaa"},
                    "{}",
                    0,
                    {"deleteMPIODevice(/dev/sddlmaa)", "= 0"}},
        CommandCase{"delete_fails",
                    {"delete", "/dev/sddlmaa"},
                    R"({"delete": {"result": 4}})",
                    1,
                    {"= 4", "FAILED"}},
        CommandCase{"control_characters_made_visible",
                    {"underlying", "/dev/sddlmaa"},
                    R"({"underlying": {"/dev/sddlmaa": {"items": ["sdc\r", "sd\td"]}}})",
                    0,
                    {"  sdc\\r\n", "  sd\\td\n"}}),
    [](const testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

// An init that fails ends the run: HDLM is not usable, so nothing else is asked.
TEST(ProbeInit, FailingInitStopsEveryCommandBeforeItsCall) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario["init"] = {{"fail", true}};
    sandbox.writeScenario(scenario);
    for (const char* command : {"vendor", "devices", "refresh", "report"}) {
        ProbeRun r = sandbox.run({command});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.out.find("nothing else was called"), std::string::npos) << r.out;
    }
    EXPECT_EQ(sandbox.calls(), std::vector<std::string>(4, "init"));
}

TEST(ProbeInit, NoInitSkipsItAndTheCommandStillRuns) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario["init"] = {{"fail", true}};
    sandbox.writeScenario(scenario);
    ProbeRun r = sandbox.run({"--no-init", "devices"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("init()                       skipped (--no-init)\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(sandbox.calls(), std::vector<std::string>{"getMPIODevices capacity=64"});
}

TEST(ProbeInit, InitCommandCallsInitOnceAlsoWithNoInit) {
    for (bool noInit : {false, true}) {
        ProbeSandbox sandbox;
        sandbox.writeScenario(twoDiskScenario());
        ProbeRun r = sandbox.run(noInit ? std::vector<std::string>{"init", "--no-init"}
                                        : std::vector<std::string>{"init"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(sandbox.calls(), std::vector<std::string>{"init"});
    }
}

// Every call reaches the plug-in with the device as given and in the host's order.
TEST(ProbeCalls, CommandsCallTheirEntryPointAfterInit) {
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    sandbox.run({"is-mpio", "/dev/sddlmaa"});
    sandbox.run({"delete", "/dev/sddlmab"});
    sandbox.run({"--no-init", "vendor"});
    EXPECT_EQ(sandbox.calls(),
              (std::vector<std::string>{"init", "isMPIODevice /dev/sddlmaa", "init",
                                        "deleteMPIODevice /dev/sddlmab", "getVendorName"}));
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* expectedInStderr = "";  // the word that was not understood, named
};

std::ostream& operator<<(std::ostream& out, const UsageCase& c) {
    return out << c.name;
}

class ProbeUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(ProbeUsage, ExitsTwoAndCallsNothing) {
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    ProbeRun r = sandbox.run(GetParam().args);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find(GetParam().expectedInStderr), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Try 'mpio-probe --help'"), std::string::npos) << r.err;
    EXPECT_TRUE(sandbox.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, ProbeUsage,
    testing::Values(
        UsageCase{"no_command", {}, "a command is required: one of vendor, init"},
        UsageCase{"unknown_command", {"list"}, "unknown command 'list'"},
        UsageCase{"missing_device", {"is-mpio"}, "DEVICE"},
        UsageCase{"two_commands", {"vendor", "devices"}, "unexpected argument 'devices'"},
        UsageCase{"negative_capacity", {"--capacity", "-1", "devices"}},
        UsageCase{"capacity_not_a_number", {"--capacity", "many", "devices"}},
        UsageCase{"capacity_too_big", {"--capacity", "16385", "devices"}},
        UsageCase{"unknown_option", {"--verbose", "devices"}, "unrecognized option '--verbose'"},
        UsageCase{"unknown_option_after_command", {"devices", "-x"}, "unrecognized option '-x'"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

TEST(ProbeUsage, HelpExitsZeroAndListsEveryCommand) {
    ProbeSandbox sandbox;
    ProbeRun r = sandbox.run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"vendor", "init", "devices", "is-mpio", "underlying",
                                "is-partition", "partitions", "refresh", "delete", "report"}) {
        EXPECT_NE(r.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    }
}

// The manual names the marker the call kit presets the error outputs to, the figure the kit uses.
TEST(ProbeManual, QuotesTheMarkerOfAnUntouchedOutput) {
    const std::string manual = testsupport::readFile(MPIO_PROBE_README);
    for (const std::string& marker : {std::to_string(plugin_calls::kUntouchedCode),
                                      std::string(plugin_calls::kUntouchedText)}) {
        EXPECT_NE(manual.find("`" + marker + "`"), std::string::npos)
            << MPIO_PROBE_README << " does not quote the marker " << marker;
    }
}

}  // namespace
}  // namespace probe_test
