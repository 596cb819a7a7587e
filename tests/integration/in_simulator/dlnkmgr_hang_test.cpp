// dlnkmgr hanging on the simulated host: the host's runner ends the command at its time limit
// (TS_PROCESS_TIMEOUT, set to 2 s by the caller), the call reports the timeout, nothing the
// command started is left running, and the next call works.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "census.h"
#include "host_under_test.h"

namespace integ {
namespace {

class DlnkmgrHangs : public ::testing::Test {
protected:
    void SetUp() override {
        const char* limit = std::getenv("TS_PROCESS_TIMEOUT");
        ASSERT_TRUE(limit && std::string(limit) == "2") << "the caller sets TS_PROCESS_TIMEOUT=2";
        ASSERT_TRUE(hostUnderTest().init.text);
    }

    // Runs `call`, which must end by the runner's timeout: not before 2 s, and well before the
    // 1 s grace for SIGKILL on top has passed by much.
    template <typename Call>
    auto timed(Call call) {
        auto start = std::chrono::steady_clock::now();
        auto result = call();
        seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return result;
    }

    void expectTimedOut(const ErrorOutputs& error) {
        EXPECT_GE(seconds_, 2.0);
        EXPECT_LT(seconds_, 6.0) << "the runner let the hanging command run on";
        EXPECT_EQ(error.code, 124);
        EXPECT_EQ(error.message.rfind("timed out after 2 s", 0), 0u) << error.message;
        std::vector<census::Process> left = census::runningInSession(getsid(0), getpid());
        EXPECT_TRUE(left.empty()) << "still running after the call returned:\n"
                                  << census::describe(left);
    }

    double seconds_ = 0;
};

TEST_F(DlnkmgrHangs, ListingEndsAtTheTimeLimitAndTheNextListingWorks) {
    HostUnderTest& host = hostUnderTest();
    const nlohmann::json& fault = faultFor("view -lu");
    ASSERT_TRUE(fault.value("hang", false));
    ASSERT_EQ(fault.value("times", 0), 1);
    ListCall hung = timed([&] { return host.plugin.devices(64); });
    EXPECT_EQ(hung.result, -124);
    expectTimedOut(hung.error);
    EXPECT_EQ(hung.count, 64) << "a failed listing leaves *count alone";

    ListCall next = host.plugin.devices(64);
    EXPECT_EQ(next.result, 0);
    EXPECT_EQ(next.items, host.model.devices());
}

TEST_F(DlnkmgrHangs, RefreshEndsAtTheTimeLimitWithTheRunnersStatus) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(faultFor("add -path -s").value("hang", false));
    const Answer refresh = timed([&] { return host.plugin.refresh(); });
    EXPECT_EQ(refresh.result, 124) << "refreshMPIO returns the status itself";
    expectTimedOut(refresh.error);
    // The deletion ran; the addition was killed before it changed anything.
    topology::HostModel model = host.model;
    model.deleteGonePaths();
    for (const std::string& name : model.deviceNames()) {
        ListCall paths = host.plugin.underlying(devPath(name), 64);
        std::sort(paths.items.begin(), paths.items.end());
        EXPECT_EQ(paths.items, model.underlying(name)) << name;
    }
}

}  // namespace
}  // namespace integ
