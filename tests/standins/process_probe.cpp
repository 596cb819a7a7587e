#include "process_probe.h"

#include "temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace probe {

namespace {

// The fields after the command name in /proc/PID/stat: state, ppid, pgrp, ...
bool stat_fields(pid_t pid, char& state, pid_t& pgrp) {
    const std::string stat = testsupport::readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream rest(stat.substr(close + 1));
    long ppid = 0, group = 0;
    if (!(rest >> state >> ppid >> group)) return false;
    pgrp = static_cast<pid_t>(group);
    return true;
}

}  // namespace

int open_fd_count() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') ++count;
        }
        ::closedir(dir);
        --count;  // the directory stream itself
    }
    return count;
}

bool no_children() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

std::vector<pid_t> live_group_members(pid_t pgid) {
    std::vector<pid_t> members;
    if (DIR* dir = ::opendir("/proc")) {
        while (dirent* entry = ::readdir(dir)) {
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            if (*end != '\0' || pid <= 0) continue;
            char state = 0;
            pid_t group = 0;
            if (stat_fields(static_cast<pid_t>(pid), state, group) && group == pgid &&
                state != 'Z') {
                members.push_back(static_cast<pid_t>(pid));
            }
        }
        ::closedir(dir);
    }
    return members;
}

bool alive(pid_t pid) {
    char state = 0;
    pid_t group = 0;
    return stat_fields(pid, state, group) && state != 'Z';
}

std::string report_from_forked_child(const std::function<std::string()>& body) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return "";
    const pid_t pid = ::fork();
    if (pid < 0) return "";
    if (pid == 0) {
        const std::string text = body();
        const ssize_t written = ::write(report[1], text.data(), text.size());
        ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    ::close(report[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(report[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) text.append(buffer, static_cast<size_t>(n));
    ::close(report[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return text;
}

}  // namespace probe
