#include "running_child.h"

#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "group_members.h"

namespace tslib {

namespace {

using namespace std::chrono_literals;

// How long an unsettled run waits for its killed group to die, as a timeout waits after SIGKILL.
constexpr auto kKilledGroupGrace = 5s;
constexpr std::chrono::microseconds kFirstGroupPause{20};
constexpr std::chrono::microseconds kMaxGroupPause = 50ms;

}  // namespace

bool waitpid_sees_children() noexcept {
    struct sigaction current {};
    if (sigaction(SIGCHLD, nullptr, &current) != 0) return false;
    return (current.sa_flags & (SA_SIGINFO | SA_NOCLDWAIT)) == 0 && current.sa_handler == SIG_DFL;
}

RunningChild::~RunningChild() {
    // Reached during an unwind too: the caller holds cancellation off (thread_cancellation.h), so
    // the waits below never act on it.
    if (settled_ && gone_) return;
    signal_group(SIGKILL);
    int status = 0;
    while (!gone_ && ::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (settled_) return;
    const auto give_up = std::chrono::steady_clock::now() + kKilledGroupGrace;
    auto pause = kFirstGroupPause;
    while (!group_empty() && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, kMaxGroupPause);
    }
}

bool RunningChild::try_reap() noexcept {
    if (gone_) return true;
    int status = 0;
    pid_t rc;
    do {
        rc = ::waitpid(pid_, &status, WNOHANG);
    } while (rc < 0 && errno == EINTR);
    if (rc == pid_) {
        gone_ = true;
        has_status_ = true;
        wait_status_ = status;
    } else if (rc < 0) {
        gone_ = true;  // ECHILD: the kernel or the host's handler reaped it; its status is lost
    }
    return gone_;
}

// NOLINTNEXTLINE(readability-make-member-function-const): signals the child it owns
void RunningChild::signal_group(int signal_number) noexcept {
    ::kill(-pid_, signal_number);
}

bool RunningChild::group_empty() const noexcept {
    return !group_has_live_members(pid_);
}

}  // namespace tslib
