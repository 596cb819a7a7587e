// What a test or a call may leave behind, read from /proc and /sys without reaping, closing or
// detaching anything: processes, open descriptors, threads, bound loop devices, mounts.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace census {

struct Process {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
    pid_t session = 0;
    char state = '?';  // Z: a zombie, ended but not yet reaped
    std::string command;
    std::string describe() const;
};

std::vector<Process> processTable();

// Processes whose parent is `parent`, zombies included.
std::vector<Process> children(pid_t parent);

// Live (not zombie) children of `parent`.
std::vector<Process> liveChildren(pid_t parent);

// Processes of `session` that still run (zombies left out), except `self` and its ancestors.
std::vector<Process> runningInSession(pid_t session, pid_t self);

// One indented line per process, for a failure message.
std::string describe(const std::vector<Process>& processes);

// Descriptors open in this process, as "N -> target".
std::vector<std::string> openDescriptors();

// Threads of this process.
int threadCount();

// True when /dev/loop<index> has a backing file.
bool loopBound(unsigned index);

// This process's mount table (/proc/self/mountinfo).
std::string mounts();

// Makes orphaned descendants of this process its children instead of init's, so a grandchild
// that outlives a call is still seen by children().
bool adoptOrphans();  // false when the kernel refuses

// What this process holds before a call; leaks() lists what it holds after that it did not.
class Snapshot {
public:
    // Threads are compared only when asked: a thread the caller joined just now may still be
    // listed for a moment.
    explicit Snapshot(bool watchThreads = false);
    // One line per child process (running or unreaped), descriptor or thread left behind.
    std::vector<std::string> leaks() const;
    // The same in one line; "" when nothing was left.
    std::string leftBehind() const;

private:
    bool watchThreads_;
    std::vector<std::string> children_;
    std::vector<std::string> descriptors_;
    int threads_;
};

}  // namespace census
