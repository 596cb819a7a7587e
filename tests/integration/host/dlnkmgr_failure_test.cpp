// dlnkmgr failing on the simulated host (status and text from the topology's fault injection).
// Where the plug-in runs dlnkmgr alone (refresh, the manager check) its status counts; where
// dlnkmgr feeds a pipeline, the pipeline's last stage decides, and the call reports what was
// printed, as the interface says.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_nodes.h"
#include "host_under_test.h"

namespace integ {
namespace {

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

void expectHostShows(PluginHost& plugin, const HostModel& model) {
    EXPECT_EQ(plugin.devices(64).items, model.devices());
    for (const std::string& name : model.deviceNames())
        EXPECT_EQ(sorted(plugin.underlying(devPath(name), 64).items), model.underlying(name))
            << name;
}

TEST(AddPathFails, RefreshReturnsTheAdditionsStatusAndText) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_NE(host.initResult, nullptr);
    const nlohmann::json& fault = faultFor("add -path -s");
    const int status = fault.at("status").get<int>();
    ASSERT_NE(status, 0);
    ASSERT_EQ(fault.value("times", 0), 1) << "the second refresh below expects the fault once";

    ErrorOutputs error;
    EXPECT_EQ(host.plugin.refresh(error), status)
        << "refreshMPIO returns the status itself, not negated";
    EXPECT_EQ(error.code, status);
    EXPECT_EQ(error.message, fault.at("stderr").get<std::string>());
    HostModel model = host.model;
    model.deleteGonePaths();  // the deletion ran; the failed addition changed nothing
    {
        SCOPED_TRACE("after the failed addition");
        expectHostShows(host.plugin, model);
    }

    ErrorOutputs second;
    EXPECT_EQ(host.plugin.refresh(second), 0);
    EXPECT_EQ(second.code, 0);
    EXPECT_EQ(second.message, "");
    model.addAttachedPaths();
    {
        SCOPED_TRACE("after a refresh that succeeded");
        expectHostShows(host.plugin, model);
    }
}

TEST(DeletePathFails, RefreshReportsOnlyTheAddition) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_NE(host.initResult, nullptr);
    ASSERT_NE(faultFor("delete -path -s").at("status").get<int>(), 0);
    ErrorOutputs error;
    EXPECT_EQ(host.plugin.refresh(error), 0);
    EXPECT_EQ(error.code, 0) << "the deletion's failure never reaches the host";
    EXPECT_EQ(error.message, "");
    HostModel model = host.model;
    model.addAttachedPaths();  // gone paths stay listed: nothing was deleted
    expectHostShows(host.plugin, model);
}

TEST(ManagerCheckFails, InitFailsSilentlyAndTheOtherCallsStillRun) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_NE(faultFor("view -sys -msrv").at("status").get<int>(), 0);
    EXPECT_EQ(host.initResult, nullptr);
    EXPECT_TRUE(host.initError.untouched())
        << "init reports a failed command by its null result alone";
    EXPECT_NE(host.plugin.vendorName(), nullptr);

    // Listing, membership and paths need no HDLM majors.
    expectHostShows(host.plugin, host.model);
    const std::string disk = host.model.deviceNames().front();
    ASSERT_FALSE(host.model.partitions(disk).empty())
        << "the first LU needs a partition table here";
    const std::string partition =
        devPath(disk) + std::to_string(host.model.partitions(disk).front().number);
    ErrorOutputs error;
    EXPECT_EQ(host.plugin.isMpio(partition, error), 1);
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

TEST(ListingsFail, PipelinesReportWhatDlnkmgrPrintedNotItsStatus) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_NE(host.initResult, nullptr);
    const nlohmann::json& listing = faultFor("view -lu");
    ASSERT_NE(listing.at("status").get<int>(), 0);
    ASSERT_FALSE(listing.contains("stdout"));
    ListCall devices = host.plugin.devices(64);
    EXPECT_EQ(devices.result, 0) << "awk, last in the pipeline, succeeded";
    EXPECT_EQ(devices.count, 0);
    EXPECT_TRUE(devices.error.untouched());

    const std::string failing = "sddlmab";
    ASSERT_NE(faultFor("view -lu -item -hdev " + failing).at("status").get<int>(), 0);
    ListCall paths = host.plugin.underlying(devPath(failing), 64);
    EXPECT_EQ(paths.result, 0);
    EXPECT_EQ(paths.count, 0);
    EXPECT_TRUE(paths.error.untouched());
    // Other devices are not affected.
    for (const std::string& name : host.model.deviceNames()) {
        if (name == failing) continue;
        EXPECT_EQ(sorted(host.plugin.underlying(devPath(name), 64).items),
                  host.model.underlying(name))
            << name;
    }
}

}  // namespace
}  // namespace integ
