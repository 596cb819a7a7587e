// dlnkmgr printing malformed output on the simulated host (the topology's injected stdout): the
// plug-in does not crash, never writes past an entry, and reports what its pipelines extract, or
// the pipeline's failure, as the interface says.
#include <gtest/gtest.h>

#include "host_under_test.h"
#include "pipeline_expectations.h"

namespace integ {
namespace {

TEST(MalformedOutput, InitLooksOnlyAtTheManagerViewsStatus) {
    HostUnderTest& host = hostUnderTest();
    const nlohmann::json& fault = faultFor("view -sys -msrv");
    ASSERT_TRUE(fault.contains("stdout"));
    ASSERT_EQ(fault.value("status", 0), 0);
    EXPECT_EQ(host.init.text, host.plugin.vendorName());
}

TEST(MalformedOutput, ListingTakesTheSecondFieldWhenItIsAnHdlmName) {
    HostUnderTest& host = hostUnderTest();
    const std::vector<std::string> expected =
        expectedListing(faultFor("view -lu").at("stdout").get<std::string>());
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

TEST(MalformedOutput, PathLinesWithTooFewColumnsFailTheCallWithAwksComplaint) {
    HostUnderTest& host = hostUnderTest();
    const std::string name = "sddlmaa";
    std::vector<std::string> ignored;
    ASSERT_FALSE(expectedPaths(
        faultFor("view -lu -item -hdev " + name).at("stdout").get<std::string>(), ignored));
    ListCall call = host.plugin.underlying(devPath(name), 8);
    EXPECT_LT(call.result, 0);
    EXPECT_EQ(call.error.code, -call.result) << "the pipeline's status reaches errorCode";
    EXPECT_NE(call.error.message.find("awk"), std::string::npos) << call.error.message;
    EXPECT_EQ(call.count, 8) << "a failed call leaves *count alone";
}

TEST(MalformedOutput, PathLinesAreTakenAsTheyComeAndCutAtTheEntrySize) {
    HostUnderTest& host = hostUnderTest();
    const std::string name = "sddlmab";
    std::vector<std::string> expected;
    ASSERT_TRUE(expectedPaths(
        faultFor("view -lu -item -hdev " + name).at("stdout").get<std::string>(), expected));
    bool cut = false;
    for (const std::string& e : expected) cut = cut || e.size() == 1023;
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
