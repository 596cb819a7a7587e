#include "running_child.h"

#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include "group_members.h"

namespace tslib {

bool waitpid_sees_children() noexcept {
    struct sigaction current {};
    if (sigaction(SIGCHLD, nullptr, &current) != 0) return false;
    return (current.sa_flags & (SA_SIGINFO | SA_NOCLDWAIT)) == 0 && current.sa_handler == SIG_DFL;
}

RunningChild::~RunningChild() {
    if (gone_) return;
    signal_group(SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
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
