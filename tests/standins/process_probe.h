// Test helpers that look at processes and descriptors from the outside (/proc, waitpid).
#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace probe {

// Number of descriptors open in this process.
int open_fd_count();

// True when this process has no child left, not even a zombie.
bool no_children();

// Processes (zombies excluded) whose process group is `pgid`.
std::vector<pid_t> live_group_members(pid_t pgid);

// True when `pid` exists and is not a zombie.
bool alive(pid_t pid);

// Runs `body` in a forked child (where it may close or limit this process's descriptors) and
// returns the text it returned, as the child reported it through a pipe; "" when it reported none.
std::string report_from_forked_child(const std::function<std::string()>& body);

// Seconds since construction.
class Stopwatch {
public:
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace probe
