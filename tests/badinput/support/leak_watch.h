// What a call may leave behind in the calling process: child processes (zombies included) and
// open descriptors. Read from /proc without reaping or closing anything.
#pragma once

#include <string>
#include <vector>

namespace leak_watch {

// "PID (command) state" of every process whose parent is this process.
std::vector<std::string> children();

// Descriptors open in this process, as "N -> target".
std::vector<std::string> openDescriptors();

// Makes orphaned descendants of this process its children instead of init's, so a grandchild
// that outlives a call is still seen by children().
void adoptOrphans();

// Snapshot before a call; after() describes what the call left behind ("" when nothing).
class Snapshot {
public:
    Snapshot();
    std::string leftBehind() const;

private:
    std::vector<std::string> children_;
    std::vector<std::string> descriptors_;
};

}  // namespace leak_watch
