// Owns a spawned child and its process group until the child is reaped.
#pragma once
#include <sys/types.h>

namespace tslib {

// True when waitpid() can be trusted to deliver our child's status: SIGCHLD at its default
// disposition without SA_NOCLDWAIT. A host that ignores SIGCHLD has its children reaped by the
// kernel; one with a handler may reap them itself.
bool waitpid_sees_children() noexcept;

class RunningChild {
public:
    explicit RunningChild(pid_t pid) : pid_(pid) {}
    // A run that did not settle (the thread was cancelled, or memory ran out) ends as a timeout
    // does: the whole group is killed, the child reaped, and this returns once nothing of the
    // group runs (or after a few seconds, for a process the kill can't end at once). A settled
    // run's child, if still unreaped, is killed with its group and reaped. Either way no call
    // leaves a process or a zombie behind.
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    // One waitpid(WNOHANG). Returns true once the child is gone: either its status was taken
    // (has_status()) or someone else reaped it (waitpid failed with ECHILD).
    bool try_reap() noexcept;
    bool gone() const { return gone_; }
    bool has_status() const { return has_status_; }
    int wait_status() const { return wait_status_; }

    void signal_group(int signal_number) noexcept;
    // No process of the child's group is still running (call only after the leader is gone).
    bool group_empty() const noexcept;

    // The run reached its own end: what the command left running in its group is its business.
    void settle() noexcept { settled_ = true; }

private:
    pid_t pid_;
    bool settled_ = false;
    bool gone_ = false;
    bool has_status_ = false;
    int wait_status_ = 0;
};

}  // namespace tslib
