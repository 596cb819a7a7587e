// The plug-in's whole job on simulated HDLM hosts: each scenario builds a host from a topology
// (the demo's, the demo's with dlnkmgr faults injected, or a generated one) and runs a group of
// integration_host's tests in it — a host process that dlopens the plug-in, whose pipelines run
// through the real /bin/sh, cat, grep and awk against the simulated dlnkmgr, /proc and /dev.
#include <stdexcept>

#include "path_state_table.h"
#include "simulated_host_test.h"

namespace integ {
namespace {

using nlohmann::json;

json demo() {
    return demoTopology();
}

json demoWithFaults(const json& faults) {
    json t = demo();
    for (auto& [operation, fault] : faults.items()) t["dlnkmgr"]["faults"][operation] = fault;
    return t;
}

json demoWithGonePathsNamed() {
    json t = demo();
    t["dlnkmgr"]["goneDevice"] =
        "name";  // `view -lu` shows a gone path's device, so the plug-in reports it
    return t;
}

// A view -lu listing gone wrong: a bare name, tabs, a KAPL message naming a device, a carriage
// return, a name longer than an entry, lines without devices, no final newline.
std::string malformedListing() {
    return "Product       : VSP_G900\n"
           "sddlmaa\n"
           "\tsddlmzz\textra\n"
           "KAPL01039-W The path of sddlmab was placed offline by an operator.\n"
           "001A00 sddlmab  /dev/sdc 000000 Online\r\n"
           " x sddlm" +
           std::string(2000, 'q') +
           " y\n"
           "\n"
           "KAPL01001-I The HDLM command completed normally.\n"
           "last sddlmac";
}

// A view -lu -item listing gone wrong: a Device field longer than an entry, an empty line, a
// line without "sd", a proper line. (A line too short to hold Device is passed over; another
// layout is ItemLayoutWith10Columns.)
std::string malformedPathLines() {
    return "sd" + std::string(3000, 'x') +
           " 1 2 3 4 5 6 7 8 9 10 11\n"
           "\n"
           "not a path line 1 2 3 4 5 6 7 8 9 10 11 12\n"
           "0010 - sddlmab /dev/sdf 000006 0002.0000.0000000000000001.0000 1B 0 Online Own 0 0 0 - "
           "2:0:1:0\n";
}

// Another HDLM release's -item layout: `columns` one-token columns after Device.
json demoWithItemColumns(int columns) {
    json t = demo();
    t["dlnkmgr"]["itemTrailingColumns"] = columns;
    return t;
}

// sddlmab's GPT with its partition 4 numbered 17: a number past the disk's 16 minors.
json demoWithGptPartition17() {
    json t = demo();
    json& lu = t["storageSystems"][0]["lus"][1];
    if (lu.at("partitionTable").at("label") != "gpt")
        throw std::runtime_error("the demo's second LU no longer carries the GPT");
    lu["partitionTable"]["partitions"][2]["number"] = 17;
    return t;
}

// 8 paths per LU make 4096 SCSI disks: the 3029th is named sddlm, with its partition sddlm1.
json generated512() {
    testsupport::ProgramResult r = testsupport::runProgram(
        {HDLM_SIM_BIN, "generate", "--lus", "512", "--paths", "8", "--partitions", "1"});
    if (r.status != 0) throw std::runtime_error("hdlm-sim generate failed: " + r.describe());
    return json::parse(r.out);
}

class SimulatedHost : public SimulatedHostTest {
protected:
    void runHostTestsOn(const json& topology, const std::string& hostTests,
                        const std::vector<std::string>& env = {}) {
        runHostTests(writeTopology(topology), hostTests, env);
    }
};

TEST_F(SimulatedHost, DemoEveryEntryPoint) {
    runHostTestsOn(demo(), "DemoHost.*");
}

TEST_F(SimulatedHost, DemoPartitionsMatchSfdisk) {
    runHostTestsOn(demo(), "PartitionTables.*");
}

TEST_F(SimulatedHost, GptPartitionAbove15) {
    runHostTestsOn(demoWithGptPartition17(), "PartitionTables.*");
}

TEST_F(SimulatedHost, RefreshChangesUnderlyingDevices) {
    runHostTestsOn(demo(), "Refresh.*");
}

TEST_F(SimulatedHost, RefreshDropsGonePathsTheListingNamed) {
    runHostTestsOn(demoWithGonePathsNamed(), "Refresh.*");
}

// Each path state as an LU's first path and as a later one, set in the topology and brought
// about while the host runs.
TEST_F(SimulatedHost, EveryPathState) {
    runHostTestsOn(pathStateTopology(), "PathStates.*");
}

TEST_F(SimulatedHost, AddPathFails) {
    runHostTestsOn(demoWithFaults({{"add -path -s",
                                    {{"status", 2},
                                     {"stderr", "KAPL01075-E A fatal error occurred. (injected)\n"},
                                     {"times", 1}}}}),
                   "AddPathFails.*");
}

TEST_F(SimulatedHost, DeletePathFails) {
    runHostTestsOn(
        demoWithFaults({{"delete -path -s",
                         {{"status", 1}, {"stderr", "KAPL01076-E delete failed (injected)\n"}}}}),
        "DeletePathFails.*");
}

TEST_F(SimulatedHost, ManagerCheckFails) {
    runHostTestsOn(demoWithFaults({{"view -sys -msrv", {{"status", 1}}}}), "ManagerCheckFails.*");
}

TEST_F(SimulatedHost, ListingsFail) {
    runHostTestsOn(
        demoWithFaults({{"view -lu", {{"status", 1}}},  // dlnkmgr's own KAPL01012-E, on its stdout
                        {"view -lu -item -hdev sddlmab",
                         {{"status", 4}, {"stderr", "KAPL01012-E item failed\n"}}}}),
        "ListingsFail.*");
}

TEST_F(SimulatedHost, DlnkmgrHangs) {
    runHostTestsOn(demoWithFaults({{"view -lu", {{"hang", true}, {"times", 1}}},
                                   {"add -path -s", {{"hang", true}, {"times", 1}}}}),
                   "DlnkmgrHangs.*", {"TS_PROCESS_TIMEOUT=2"});
}

TEST_F(SimulatedHost, MalformedOutput) {
    runHostTestsOn(
        demoWithFaults(
            {{"view -sys -msrv", {{"stdout", "HDLM Manager\n\x01\x02 not what it prints\n"}}},
             {"view -lu", {{"stdout", malformedListing()}}},
             {"view -lu -item -hdev sddlmaa", {{"stdout", "sdc\n"}}},
             {"view -lu -item -hdev sddlmab", {{"stdout", malformedPathLines()}}}}),
        "MalformedOutput.*");
}

TEST_F(SimulatedHost, ItemLayoutWith10Columns) {
    runHostTestsOn(demoWithItemColumns(10), "OtherItemLayout.*");
}

TEST_F(SimulatedHost, ItemLayoutWith12Columns) {
    runHostTestsOn(demoWithItemColumns(12), "OtherItemLayout.*");
}

TEST_F(SimulatedHost, Generated512Lus) {
    runHostTestsOn(generated512(), "LargeHost.*");
}

}  // namespace
}  // namespace integ
