// Starts `/bin/sh -c command` in its own process group with posix_spawn (never a fork of the
// host, which may be huge), standard input from /dev/null, default signal dispositions, an empty
// signal mask and none of the host's descriptors.
#pragma once
#include <sys/types.h>

namespace tslib {

struct SpawnRequest {
    const char* command = nullptr;
    int stdout_fd = -1;  // write end that becomes the command's standard output
    int stderr_fd = -1;  // write end that becomes its standard error (may equal stdout_fd)
    // When >= 0 the command runs under a small wrapper shell that writes the command's exit
    // status as a decimal line to this descriptor: the way to learn the status when the host's
    // SIGCHLD handling may reap the child before we can.
    int status_fd = -1;
};

// Returns the child's pid (which is also its process group id), or -1 with `error` set to the
// errno value that kept the shell from starting.
pid_t spawn_shell(const SpawnRequest& request, int& error) noexcept;

}  // namespace tslib
