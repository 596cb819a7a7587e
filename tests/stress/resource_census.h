// What a process holds that a library call could leave behind: open descriptors, threads, and
// child processes (running or unreaped).
#pragma once

#include <string>
#include <vector>

namespace stress {

struct ResourceCensus {
    std::vector<std::string> descriptors;  // "fd -> target" of each open descriptor
    int threads = 0;
    std::vector<int> children;  // processes whose parent is this one, zombies included
};

ResourceCensus takeCensus();

// One line for each thing `after` holds that `before` did not; empty when nothing leaked.
std::vector<std::string> leaksBetween(const ResourceCensus& before, const ResourceCensus& after);

}  // namespace stress
