// dlnkmgr hanging on the simulated host: the host's runner ends the command at its time limit
// (TS_PROCESS_TIMEOUT, set to 2 s by the caller), the call reports the timeout, nothing the
// command started is left running, and the next call works. The host may also end the request
// itself, cancelling its thread while dlnkmgr runs: the thread unwinds and leaves nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "census.h"
#include "host_under_test.h"

namespace integ {
namespace {

// The simulated dlnkmgr reads its state under an flock on $HDLM_SIM_STATE.lock
// (sim/dlnkmgr/state_file.h). While this holds it, a dlnkmgr started meanwhile waits, still
// running, before it takes any fault.
class SimulatorStateLocked {
public:
    SimulatorStateLocked() {
        const char* state = std::getenv("HDLM_SIM_STATE");
        if (state == nullptr) return;
        fd_ = ::open((std::string(state) + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~SimulatorStateLocked() {
        if (fd_ >= 0) ::close(fd_);
    }
    SimulatorStateLocked(const SimulatorStateLocked&) = delete;
    SimulatorStateLocked& operator=(const SimulatorStateLocked&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The host's request thread. Returns only when the call returned instead of unwinding.
void* listDevices(void* plugin) {
    static_cast<PluginHost*>(plugin)->devices(64);
    return nullptr;
}

bool dlnkmgrRunning() {
    for (const census::Process& p : census::runningInSession(getsid(0), getpid()))
        if (p.command == "dlnkmgr") return true;
    return false;
}

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
    testsupport::HostModel model = host.model;
    model.deleteGonePaths();
    for (const std::string& name : model.deviceNames()) {
        ListCall paths = host.plugin.underlying(devPath(name), 64);
        std::sort(paths.items.begin(), paths.items.end());
        EXPECT_EQ(paths.items, model.underlying(name)) << name;
    }
}

// Defined after ListingEndsAtTheTimeLimitAndTheNextListingWorks, which takes the one hang of
// `view -lu`: the later listing here must not meet it.
TEST_F(DlnkmgrHangs, ListingCancelledWhileDlnkmgrRunsUnwindsAndLeavesNothingBehind) {
    HostUnderTest& host = hostUnderTest();
    const census::Snapshot before;  // children and descriptors
    {
        const SimulatorStateLocked locked;
        ASSERT_TRUE(locked.held()) << "cannot lock the simulator's state";
        pthread_t thread;
        ASSERT_EQ(::pthread_create(&thread, nullptr, listDevices, &host.plugin), 0);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        bool started = false;
        while (!(started = dlnkmgrRunning()) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(::pthread_cancel(thread), 0);
        void* outcome = nullptr;
        ASSERT_EQ(::pthread_join(thread, &outcome), 0);
        EXPECT_TRUE(started) << "dlnkmgr never ran";
        EXPECT_EQ(outcome, PTHREAD_CANCELED) << "the call returned instead of unwinding";
    }
    std::vector<census::Process> left = census::runningInSession(getsid(0), getpid());
    EXPECT_TRUE(left.empty()) << "still running after the thread ended:\n"
                              << census::describe(left);
    EXPECT_EQ(before.leftBehind(), "");

    ListCall next = host.plugin.devices(64);
    EXPECT_EQ(next.result, 0) << next.error.message;
    EXPECT_EQ(next.items, host.model.devices());
}

}  // namespace
}  // namespace integ
