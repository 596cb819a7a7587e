#include "process_table.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace integ {
namespace {

bool readProcess(pid_t pid, ProcessInfo& info) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return false;  // ended meanwhile
    // The command sits in parentheses and may itself hold blanks and parentheses.
    size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= line.size())
        return false;
    info.pid = pid;
    info.command = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 2));
    rest >> info.state >> info.parent >> info.group >> info.session;
    return bool(rest);
}

}  // namespace

std::string ProcessInfo::describe() const {
    std::ostringstream out;
    out << pid << " (" << command << ") state " << state << " parent " << parent << " group "
        << group << " session " << session;
    return out.str();
}

std::vector<ProcessInfo> processTable() {
    std::vector<ProcessInfo> table;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc"), closedir);
    if (!dir) return table;
    while (struct dirent* entry = readdir(dir.get())) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end) continue;
        ProcessInfo info;
        if (readProcess(pid_t(pid), info)) table.push_back(info);
    }
    return table;
}

std::vector<ProcessInfo> runningInSession(pid_t session, pid_t self) {
    std::vector<ProcessInfo> table = processTable();
    std::map<pid_t, pid_t> parentOf;
    for (const ProcessInfo& p : table) parentOf[p.pid] = p.parent;
    std::set<pid_t> ancestors;
    for (pid_t p = self; p > 0 && ancestors.insert(p).second;) {
        auto it = parentOf.find(p);
        if (it == parentOf.end()) break;
        p = it->second;
    }
    std::vector<ProcessInfo> running;
    for (const ProcessInfo& p : table)
        if (p.session == session && p.state != 'Z' && !ancestors.count(p.pid)) running.push_back(p);
    return running;
}

std::vector<ProcessInfo> liveChildren(pid_t parent) {
    std::vector<ProcessInfo> children;
    for (const ProcessInfo& p : processTable())
        if (p.parent == parent && p.state != 'Z') children.push_back(p);
    return children;
}

std::string describe(const std::vector<ProcessInfo>& processes) {
    std::string text;
    for (const ProcessInfo& p : processes) text += "  " + p.describe() + "\n";
    return text;
}

}  // namespace integ
