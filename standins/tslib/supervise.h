// Runs one command to its end: spawns it, drains its output, enforces the timeout and the output
// limit, and reaps it. What happened is recorded; process_runner.cpp turns it into the result.
#pragma once
#include <cstddef>
#include <string>

namespace tslib {

constexpr std::size_t kOutputLimit = std::size_t{64} * 1024 * 1024;  // per kept stream

struct RunRecord {
    int spawn_error = 0;   // errno that kept the shell from starting; 0 when it started
    bool wrapped = false;  // ran under the status-reporting wrapper shell
    bool timed_out = false;
    bool stdout_overflowed = false;
    bool stderr_overflowed = false;
    bool abandoned = false;        // the pipes stayed open even after SIGKILL to the group
    bool has_wait_status = false;  // waitpid() delivered the status of our direct child
    int wait_status = 0;
    int reported_status = -1;  // the wrapper's report of the command's $?, -1 when none
    std::string out;           // standard output (and standard error when merged)
    std::string err;           // standard error when not merged
};

struct RunRequest {
    const char* command = nullptr;
    bool keep_output = true;  // false: standard output is read and dropped
    bool keep_error = true;   // false: standard error is read and dropped
    bool merge_stderr = false;
    int timeout_seconds = 0;  // already resolved, > 0
    // The caller holds cancellation off (thread_cancellation.h); true lets it act while waiting.
    bool cancellable = false;
};

// Throws std::bad_alloc, or abi::__forced_unwind when the thread is cancelled while it waits for
// the command; either way the command's group is killed, the child reaped and every pipe closed
// on the way out.
void supervise(const RunRequest& request, RunRecord& record);

}  // namespace tslib
