// refreshMPIO on a live simulated host: HDLM drops the paths whose devices have gone and takes
// over the ones attached later, and what getMPIODevices and getUnderlyingDevices report follows.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_under_test.h"

namespace integ {
namespace {

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// The plug-in's picture of the host matches the model: the device list, each device's paths,
// and isMPIODevice for every name HDLM has used or will use.
void expectHostShows(PluginHost& plugin, const topology::HostModel& model,
                     const std::vector<std::string>& allNames) {
    ListCall devices = plugin.devices(64);
    EXPECT_EQ(devices.result, 0);
    EXPECT_EQ(devices.items, model.devices());
    for (const std::string& name : model.deviceNames()) {
        ListCall paths = plugin.underlying(devPath(name), 64);
        EXPECT_EQ(paths.result, 0) << name;
        EXPECT_EQ(sorted(paths.items), model.underlying(name)) << name;
    }
    std::vector<std::string> listed = model.deviceNames();
    for (const std::string& name : allNames) {
        ErrorOutputs error;
        bool isListed = std::find(listed.begin(), listed.end(), name) != listed.end();
        EXPECT_EQ(plugin.isMpio(devPath(name), error), isListed ? 1 : 0) << name;
    }
}

std::vector<std::string> unionOf(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    std::sort(a.begin(), a.end());
    a.erase(std::unique(a.begin(), a.end()), a.end());
    return a;
}

TEST(Refresh, GonePathsDisappearAndPathsAttachedLaterAppear) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_NE(host.initResult, nullptr) << "init failed on the simulated host";
    topology::HostModel before = host.model;
    topology::HostModel after = host.model;
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
    ErrorOutputs error;
    EXPECT_EQ(host.plugin.refresh(error), 0);
    EXPECT_EQ(error.code, 0) << "a successful refresh clears the error outputs";
    EXPECT_EQ(error.message, "");
    {
        SCOPED_TRACE("after refreshMPIO");
        expectHostShows(host.plugin, after, names);
    }
    ErrorOutputs again;
    EXPECT_EQ(host.plugin.refresh(again), 0);
    {
        SCOPED_TRACE("after a second refreshMPIO, which finds nothing to do");
        expectHostShows(host.plugin, after, names);
    }
}

}  // namespace
}  // namespace integ
