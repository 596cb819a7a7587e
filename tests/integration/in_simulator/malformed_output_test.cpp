// dlnkmgr printing malformed output on the simulated host (the topology's injected stdout): the
// plug-in does not crash, never writes past an entry, and reports what its pipelines extract, or
// the pipeline's failure, as the interface says. What they extract is had by running the plug-in's
// own command lines here, on the same dlnkmgr.
#include <gtest/gtest.h>

#include <sstream>

#include "hdlm_commands.h"
#include "host_under_test.h"
#include "process_runner.h"

namespace integ {
namespace {

// The entries a command line's output makes: one per non-empty line, `prefix` in front, cut to
// what an entry holds (its last byte is the NUL).
std::vector<std::string> entriesOf(const testsupport::ProgramResult& ran,
                                   const std::string& prefix = "") {
    std::vector<std::string> entries;
    std::istringstream lines(ran.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) entries.push_back((prefix + line).substr(0, MAXMPIOPATHLEN - 1));
    return entries;
}

TEST(MalformedOutput, InitLooksOnlyAtTheManagerViewsStatus) {
    HostUnderTest& host = hostUnderTest();
    const nlohmann::json& fault = faultFor("view -sys -msrv");
    ASSERT_TRUE(fault.contains("stdout"));
    ASSERT_EQ(fault.value("status", 0), 0);
    EXPECT_EQ(host.init.text, host.plugin.vendorName());
}

TEST(MalformedOutput, ListingTakesTheSecondFieldWhenItIsAnHdlmName) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(faultFor("view -lu").contains("stdout"));
    const testsupport::ProgramResult ran =
        testsupport::runShell(hdlm_commands::pinned(hdlm_commands::listing_cmd));
    ASSERT_EQ(ran.status, 0) << ran.describe();
    const std::vector<std::string> expected = entriesOf(ran, "/dev/");
    ASSERT_GE(expected.size(), 2u) << "the injected listing should still name devices";
    ListCall call = host.plugin.devices(64);
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(call.items, expected);
    EXPECT_TRUE(call.entriesTerminated);
    EXPECT_TRUE(call.error.untouched());
    ListCall exact = host.plugin.devices(int(expected.size()));
    EXPECT_EQ(exact.result, 0) << "lines that name no device are not counted";
    EXPECT_EQ(exact.items, expected);
}

// A line too short to hold the Device column (a message naming a path) is passed over: awk
// would stop at it, and fail the call.
TEST(MalformedOutput, PathLinesTooShortForTheDeviceColumnArePassedOver) {
    HostUnderTest& host = hostUnderTest();
    const std::string name = "sddlmaa";
    ASSERT_TRUE(faultFor("view -lu -item -hdev " + name).contains("stdout"));
    const testsupport::ProgramResult ran =
        testsupport::runShell(hdlm_commands::pinned(hdlm_commands::paths_cmd(name)));
    ASSERT_EQ(ran.status, 0) << ran.describe();
    EXPECT_EQ(ran.out, "");
    ListCall call = host.plugin.underlying(devPath(name), 8);
    EXPECT_EQ(call.result, 0) << call.error.message;
    EXPECT_EQ(call.count, 0);
    EXPECT_TRUE(call.error.untouched());
}

TEST(MalformedOutput, PathLinesAreTakenAsTheyComeAndCutAtTheEntrySize) {
    HostUnderTest& host = hostUnderTest();
    const std::string name = "sddlmab";
    ASSERT_TRUE(faultFor("view -lu -item -hdev " + name).contains("stdout"));
    const testsupport::ProgramResult ran =
        testsupport::runShell(hdlm_commands::pinned(hdlm_commands::paths_cmd(name)));
    ASSERT_EQ(ran.status, 0) << ran.describe();
    const std::vector<std::string> expected = entriesOf(ran);
    bool cut = false;
    for (const std::string& e : expected) cut = cut || e.size() == MAXMPIOPATHLEN - 1;
    ASSERT_TRUE(cut) << "the injected output should hold a field longer than an entry";
    ListCall call = host.plugin.underlying(devPath(name), 64);
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(call.items, expected);
    EXPECT_TRUE(call.entriesTerminated);
    EXPECT_TRUE(call.error.untouched());
    // The partition of that disk asks about the disk and gets the same.
    if (!host.model.partitions(name).empty()) {
        ListCall viaPartition = host.plugin.underlying(
            devPath(name) + std::to_string(host.model.partitions(name).front().number), 64);
        EXPECT_EQ(viaPartition.items, expected);
    }
}

}  // namespace
}  // namespace integ
