#include "resource_census.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace stress {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The numeric entries of a /proc directory.
std::vector<std::string> numericEntries(const char* path) {
    std::vector<std::string> names;
    DirHandle dir(opendir(path));
    if (!dir) return names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!name.empty() &&
            std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            names.push_back(name);
    }
    return names;
}

// The parent pid field of /proc/PID/stat (after the parenthesised command, which may hold
// blanks).
int parentOf(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 1));
    std::string state;
    int parent = -1;
    fields >> state >> parent;
    return parent;
}

}  // namespace

ResourceCensus takeCensus() {
    ResourceCensus census;
    // Listing /proc/self/fd opens one descriptor of its own; it is the same in every census.
    for (const std::string& fd : numericEntries("/proc/self/fd")) {
        char target[4096] = {};
        const std::string link = "/proc/self/fd/" + fd;
        const ssize_t n = readlink(link.c_str(), target, sizeof(target) - 1);
        census.descriptors.push_back(fd + " -> " + (n > 0 ? std::string(target, size_t(n)) : "?"));
    }
    census.threads = static_cast<int>(numericEntries("/proc/self/task").size());
    const int self = static_cast<int>(getpid());
    for (const std::string& pid : numericEntries("/proc"))
        if (parentOf(pid) == self) census.children.push_back(std::atoi(pid.c_str()));
    return census;
}

std::vector<std::string> leaksBetween(const ResourceCensus& before, const ResourceCensus& after) {
    std::vector<std::string> leaks;
    if (after.descriptors.size() > before.descriptors.size()) {
        std::string list;
        for (const std::string& d : after.descriptors)
            if (std::find(before.descriptors.begin(), before.descriptors.end(), d) ==
                before.descriptors.end())
                list += " [" + d + "]";
        leaks.push_back(std::to_string(after.descriptors.size() - before.descriptors.size()) +
                        " more open descriptors than before:" + list);
    }
    if (after.threads > before.threads)
        leaks.push_back(std::to_string(after.threads - before.threads) +
                        " more threads than before (the plug-in must start none)");
    for (int child : after.children)
        if (std::find(before.children.begin(), before.children.end(), child) ==
            before.children.end())
            leaks.push_back("child process " + std::to_string(child) +
                            " is left (running or unreaped)");
    return leaks;
}

}  // namespace stress
