// dlnkmgr failing on the simulated host (status and text from the topology's fault injection).
// Its status counts wherever it runs: alone (refresh, the manager check) or feeding a listing's
// filters, where a failure must not pass for an empty listing.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_nodes.h"
#include "host_under_test.h"

namespace integ {
namespace {

void expectHostShows(PluginHost& plugin, const testsupport::HostModel& model) {
    EXPECT_EQ(plugin.devices(64).items, model.devices());
    for (const std::string& name : model.deviceNames())
        EXPECT_EQ(sorted(plugin.underlying(devPath(name), 64).items), model.underlying(name))
            << name;
}

TEST(AddPathFails, RefreshReturnsTheAdditionsStatusAndText) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(host.init.text);
    const nlohmann::json& fault = faultFor("add -path -s");
    const int status = fault.at("status").get<int>();
    ASSERT_NE(status, 0);
    ASSERT_EQ(fault.value("times", 0), 1) << "the second refresh below expects the fault once";

    const Answer answer = host.plugin.refresh();
    EXPECT_EQ(answer.result, status) << "refreshMPIO returns the status itself, not negated";
    EXPECT_EQ(answer.error.code, status);
    EXPECT_EQ(answer.error.message, fault.at("stderr").get<std::string>());
    testsupport::HostModel model = host.model;
    model.deleteGonePaths();  // the deletion ran; the failed addition changed nothing
    {
        SCOPED_TRACE("after the failed addition");
        expectHostShows(host.plugin, model);
    }

    const Answer second = host.plugin.refresh();
    EXPECT_EQ(second.result, 0);
    EXPECT_EQ(second.error.code, 0);
    EXPECT_EQ(second.error.message, "");
    model.addAttachedPaths();
    {
        SCOPED_TRACE("after a refresh that succeeded");
        expectHostShows(host.plugin, model);
    }
}

TEST(DeletePathFails, RefreshReportsOnlyTheAddition) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(host.init.text);
    ASSERT_NE(faultFor("delete -path -s").at("status").get<int>(), 0);
    const Answer answer = host.plugin.refresh();
    EXPECT_EQ(answer.result, 0);
    EXPECT_EQ(answer.error.code, 0) << "the deletion's failure never reaches the host";
    EXPECT_EQ(answer.error.message, "");
    testsupport::HostModel model = host.model;
    model.addAttachedPaths();  // gone paths stay listed: nothing was deleted
    expectHostShows(host.plugin, model);
}

TEST(ManagerCheckFails, InitFailsSilentlyAndTheOtherCallsStillRun) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_NE(faultFor("view -sys -msrv").at("status").get<int>(), 0);
    EXPECT_FALSE(host.init.text);
    EXPECT_TRUE(host.init.error.untouched())
        << "init reports a failed command by its null result alone";
    EXPECT_NE(host.plugin.vendorName(), nullptr);

    // Listing, membership and paths need no HDLM majors.
    expectHostShows(host.plugin, host.model);
    const std::string disk = host.model.deviceNames().front();
    ASSERT_FALSE(host.model.partitions(disk).empty())
        << "the first LU needs a partition table here";
    const std::string partition =
        devPath(disk) + std::to_string(host.model.partitions(disk).front().number);
    const Answer answer = host.plugin.isMpio(partition);
    EXPECT_EQ(answer.result, 1);
    // Telling and reading partitions does: without init, no major is an HDLM major.
    PartitionCheck check = host.plugin.isPartition(partition);
    EXPECT_EQ(check.result, 0);
    EXPECT_TRUE(check.error.untouched());
    PartitionsCall parts = host.plugin.partitions(devPath(disk), 8);
    EXPECT_EQ(parts.result, -1);
    EXPECT_EQ(parts.count, 0);
    EXPECT_EQ(parts.error.code, -1);
    EXPECT_EQ(parts.error.message, devPath(disk));
}

TEST(ListingsFail, AFailingDlnkmgrFailsTheCallWithItsStatusAndText) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(host.init.text);
    const nlohmann::json& listing = faultFor("view -lu");
    const int listingStatus = listing.at("status").get<int>();
    ASSERT_NE(listingStatus, 0);
    ASSERT_FALSE(listing.contains("stdout") || listing.contains("stderr"))
        << "dlnkmgr should print its own message, on stdout";
    ListCall devices = host.plugin.devices(64);
    EXPECT_EQ(devices.result, -listingStatus);
    EXPECT_EQ(devices.error.code, listingStatus);
    EXPECT_EQ(devices.error.message.rfind("KAPL01012-E Could not connect the HDLM manager.", 0), 0u)
        << devices.error.message;
    EXPECT_EQ(devices.count, 64) << "a failed call leaves *count alone";

    const std::string failing = "sddlmab";
    const nlohmann::json& item = faultFor("view -lu -item -hdev " + failing);
    const int itemStatus = item.at("status").get<int>();
    ASSERT_GT(itemStatus, 0);
    ListCall paths = host.plugin.underlying(devPath(failing), 64);
    EXPECT_EQ(paths.result, -itemStatus);
    EXPECT_EQ(paths.error.code, itemStatus);
    EXPECT_EQ(paths.error.message, item.at("stderr").get<std::string>());
    EXPECT_EQ(paths.count, 64);
    // Other devices are not affected.
    for (const std::string& name : host.model.deviceNames()) {
        if (name == failing) continue;
        EXPECT_EQ(sorted(host.plugin.underlying(devPath(name), 64).items),
                  host.model.underlying(name))
            << name;
    }
}

// Another HDLM release's -item layout: the column counted from the line's end is not Device
// (an HDLM name, a whole line, a PathID). Every path listing fails, quoting what it found,
// instead of handing the host something that is not a device.
TEST(OtherItemLayout, PathListingsFailQuotingTheUnexpectedItem) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(host.init.text);
    for (const std::string& name : host.model.deviceNames()) {
        SCOPED_TRACE(name);
        ListCall paths = host.plugin.underlying(devPath(name), 64);
        EXPECT_EQ(paths.result, -1);
        EXPECT_EQ(paths.error.code, -1);
        EXPECT_EQ(paths.error.message.rfind("Unexpected item [", 0), 0u) << paths.error.message;
        EXPECT_NE(paths.error.message.find("] in the paths of " + name + ": not a SCSI device"),
                  std::string::npos)
            << paths.error.message;
        EXPECT_EQ(paths.count, 64);
    }
    // The listing of the HDLM devices does not read -item and is unaffected.
    EXPECT_EQ(host.plugin.devices(64).items, host.model.devices());
}

}  // namespace
}  // namespace integ
