#include "census.h"

#include "temp_dir.h"

#include <dirent.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace census {
namespace {

using testsupport::readFile;

// The numeric entries of a /proc directory.
std::vector<std::string> numericEntries(const char* path) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path), closedir);
    if (!dir) return names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!name.empty() &&
            std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            names.push_back(name);
    }
    return names;
}

bool readProcess(const std::string& pid, Process& info) {
    const std::string line = readFile("/proc/" + pid + "/stat");  // "" when it ended meanwhile
    // The command sits in parentheses and may itself hold blanks and parentheses.
    const size_t open = line.find('(');
    const size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= line.size())
        return false;
    info.pid = static_cast<pid_t>(std::atol(pid.c_str()));
    info.command = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 2));
    rest >> info.state >> info.parent >> info.group >> info.session;
    return bool(rest);
}

std::vector<std::string> added(std::vector<std::string> before, std::vector<std::string> after) {
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    std::vector<std::string> difference;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(difference));
    return difference;
}

std::vector<std::string> childLines() {
    std::vector<std::string> lines;
    for (const Process& p : children(getpid()))
        lines.push_back(std::to_string(p.pid) + " (" + p.command + ") " + p.state);
    return lines;
}

}  // namespace

std::string Process::describe() const {
    std::ostringstream out;
    out << pid << " (" << command << ") state " << state << " parent " << parent << " group "
        << group << " session " << session;
    return out.str();
}

std::vector<Process> processTable() {
    std::vector<Process> table;
    for (const std::string& pid : numericEntries("/proc")) {
        Process info;
        if (readProcess(pid, info)) table.push_back(info);
    }
    return table;
}

std::vector<Process> children(pid_t parent) {
    std::vector<Process> found;
    for (const Process& p : processTable())
        if (p.parent == parent) found.push_back(p);
    return found;
}

std::vector<Process> liveChildren(pid_t parent) {
    std::vector<Process> found;
    for (const Process& p : children(parent))
        if (p.state != 'Z') found.push_back(p);
    return found;
}

std::vector<Process> runningInSession(pid_t session, pid_t self) {
    const std::vector<Process> table = processTable();
    std::map<pid_t, pid_t> parentOf;
    for (const Process& p : table) parentOf[p.pid] = p.parent;
    std::set<pid_t> ancestors;
    for (pid_t p = self; p > 0 && ancestors.insert(p).second;) {
        auto it = parentOf.find(p);
        if (it == parentOf.end()) break;
        p = it->second;
    }
    std::vector<Process> running;
    for (const Process& p : table)
        if (p.session == session && p.state != 'Z' && !ancestors.count(p.pid)) running.push_back(p);
    return running;
}

std::string describe(const std::vector<Process>& processes) {
    std::string text;
    for (const Process& p : processes) text += "  " + p.describe() + "\n";
    return text;
}

std::vector<std::string> openDescriptors() {
    std::vector<std::string> found;
    // The directory stream's own descriptor is listed too; leaks() leaves it out.
    for (const std::string& fd : numericEntries("/proc/self/fd")) {
        char target[4096] = {};
        const ssize_t length =
            readlink(("/proc/self/fd/" + fd).c_str(), target, sizeof(target) - 1);
        found.push_back(fd + " -> " + (length > 0 ? std::string(target, size_t(length)) : "?"));
    }
    return found;
}

int threadCount() {
    return static_cast<int>(numericEntries("/proc/self/task").size());
}

bool loopBound(unsigned index) {
    return access(("/sys/block/loop" + std::to_string(index) + "/loop/backing_file").c_str(),
                  F_OK) == 0;
}

std::string mounts() {
    return readFile("/proc/self/mountinfo");
}

bool adoptOrphans() {
    return prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0;
}

Snapshot::Snapshot(bool watchThreads)
    : watchThreads_(watchThreads),
      children_(childLines()),
      descriptors_(openDescriptors()),
      threads_(threadCount()) {}

std::vector<std::string> Snapshot::leaks() const {
    std::vector<std::string> found;
    for (const std::string& child : added(children_, childLines()))
        found.push_back("child process left (running or unreaped): " + child);
    for (const std::string& d : added(descriptors_, openDescriptors())) {
        // The listing's own directory descriptor may differ from the earlier one by number.
        if (d.find("/proc/") != std::string::npos && d.find("/fd") != std::string::npos) continue;
        found.push_back("descriptor left open: " + d);
    }
    const int threads = threadCount();
    if (watchThreads_ && threads > threads_)
        found.push_back(std::to_string(threads - threads_) +
                        " more threads than before (the plug-in must start none)");
    return found;
}

std::string Snapshot::leftBehind() const {
    std::string text;
    for (const std::string& leak : leaks()) text += (text.empty() ? "" : "; ") + leak;
    return text;
}

}  // namespace census
