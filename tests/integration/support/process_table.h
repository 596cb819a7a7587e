// The machine's processes as /proc lists them, to tell whether anything a test started is still
// running.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace integ {

struct ProcessInfo {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
    pid_t session = 0;
    char state = '?';  // Z: a zombie, ended but not yet reaped
    std::string command;
    std::string describe() const;
};

std::vector<ProcessInfo> processTable();

// Processes of `session` that still run (zombies left out), except `self` and its ancestors.
std::vector<ProcessInfo> runningInSession(pid_t session, pid_t self);

// Live (not zombie) children of `parent`.
std::vector<ProcessInfo> liveChildren(pid_t parent);

std::string describe(const std::vector<ProcessInfo>& processes);

}  // namespace integ
