#include "group_members.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "unique_fd.h"

namespace tslib {

namespace {

// From /proc/PID/stat: "pid (comm) state ppid pgrp ...". comm may hold anything, so the fields
// are read after its last ')'.
bool live_member(const char* pid_text, pid_t pgid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid_text);
    UniqueFd file(::open(path, O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return false;
    char stat[512];
    const ssize_t n = ::read(file.get(), stat, sizeof stat - 1);
    if (n <= 0) return false;
    stat[n] = '\0';
    const char* close = std::strrchr(stat, ')');
    if (close == nullptr) return false;
    char state = 0;
    long ppid = 0, group = 0;
    // NOLINTNEXTLINE(cert-err34-c): kernel-written fields; the count check rejects short lines
    if (std::sscanf(close + 1, " %c %ld %ld", &state, &ppid, &group) != 3) return false;
    return group == pgid && state != 'Z' && state != 'X';
}

}  // namespace

bool group_has_live_members(pid_t pgid) noexcept {
    if (::kill(-pgid, 0) < 0 && errno == ESRCH) return false;  // the cheap answer first
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return true;  // can't look: assume the worst, the caller's clock decides
    bool found = false;
    while (!found) {
        const dirent* entry = ::readdir(proc);
        if (entry == nullptr) break;
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        found = live_member(entry->d_name, pgid);
    }
    ::closedir(proc);
    return found;
}

}  // namespace tslib
