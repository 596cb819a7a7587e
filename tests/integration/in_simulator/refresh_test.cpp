// refreshMPIO on a live simulated host: HDLM drops the paths whose devices have gone and takes
// over the ones attached later, and what getMPIODevices and getUnderlyingDevices report follows.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_under_test.h"

namespace integ {
namespace {

TEST(Refresh, GonePathsDisappearAndPathsAttachedLaterAppear) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(host.init.text) << "init failed on the simulated host";
    testsupport::HostModel before = host.model;
    testsupport::HostModel after = host.model;
    after.deleteGonePaths();
    after.addAttachedPaths();
    // The topology must give the refresh something to do, or this test proves nothing.
    const std::vector<std::string> namesAfter = after.deviceNames();
    bool changes = before.deviceNames() != namesAfter;
    for (const std::string& name : before.deviceNames())
        if (std::find(namesAfter.begin(), namesAfter.end(), name) != namesAfter.end())
            changes = changes || before.underlying(name) != after.underlying(name);
    ASSERT_TRUE(changes) << "the topology has no path that is gone or attached later";
    const std::vector<std::string> names = unionOf(before.deviceNames(), after.deviceNames());

    {
        SCOPED_TRACE("before refreshMPIO");
        expectHostShows(host.plugin, before, names);
    }
    const Answer answer = host.plugin.refresh();
    EXPECT_EQ(answer.result, 0);
    EXPECT_EQ(answer.error.code, 0) << "a successful refresh clears the error outputs";
    EXPECT_EQ(answer.error.message, "");
    {
        SCOPED_TRACE("after refreshMPIO");
        expectHostShows(host.plugin, after, names);
    }
    const Answer again = host.plugin.refresh();
    EXPECT_EQ(again.result, 0);
    {
        SCOPED_TRACE("after a second refreshMPIO, which finds nothing to do");
        expectHostShows(host.plugin, after, names);
    }
}

}  // namespace
}  // namespace integ
