#include "leak_watch.h"

#include <dirent.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace leak_watch {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> numericEntries(const char* directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory)) {
        while (const dirent* entry = readdir(dir)) {
            char* end = nullptr;
            std::strtol(entry->d_name, &end, 10);
            if (entry->d_name[0] != '\0' && *end == '\0') names.emplace_back(entry->d_name);
        }
        closedir(dir);
    }
    return names;
}

std::vector<std::string> added(const std::vector<std::string>& before,
                               const std::vector<std::string>& after) {
    std::vector<std::string> sortedBefore = before;
    std::vector<std::string> sortedAfter = after;
    std::sort(sortedBefore.begin(), sortedBefore.end());
    std::sort(sortedAfter.begin(), sortedAfter.end());
    std::vector<std::string> difference;
    std::set_difference(sortedAfter.begin(), sortedAfter.end(), sortedBefore.begin(),
                        sortedBefore.end(), std::back_inserter(difference));
    return difference;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

}  // namespace

std::vector<std::string> children() {
    const long self = static_cast<long>(getpid());
    std::vector<std::string> found;
    for (const std::string& pid : numericEntries("/proc")) {
        const std::string stat = readFile("/proc/" + pid + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        char state = 0;
        long parent = 0;
        if (rest >> state >> parent && parent == self)
            found.push_back(stat.substr(0, close + 1) + " " + state);
    }
    return found;
}

std::vector<std::string> openDescriptors() {
    std::vector<std::string> found;
    // The directory stream's own descriptor is listed too; it is gone again by the next call,
    // and both snapshots contain one, under the same number.
    for (const std::string& fd : numericEntries("/proc/self/fd")) {
        char target[512] = {};
        const ssize_t length =
            readlink(("/proc/self/fd/" + fd).c_str(), target, sizeof(target) - 1);
        found.push_back(fd + " -> " + (length > 0 ? std::string(target, length) : "?"));
    }
    return found;
}

void adoptOrphans() {
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

Snapshot::Snapshot() : children_(children()), descriptors_(openDescriptors()) {}

std::string Snapshot::leftBehind() const {
    std::string report;
    const std::vector<std::string> newChildren = added(children_, children());
    if (!newChildren.empty()) report += "child processes left: " + joined(newChildren) + ". ";
    std::vector<std::string> newDescriptors = added(descriptors_, openDescriptors());
    // The listing's own directory descriptor may differ in its target text only by number.
    newDescriptors.erase(std::remove_if(newDescriptors.begin(), newDescriptors.end(),
                                        [](const std::string& d) {
                                            return d.find("/proc/") != std::string::npos &&
                                                   d.find("/fd") != std::string::npos;
                                        }),
                         newDescriptors.end());
    if (!newDescriptors.empty()) report += "descriptors left open: " + joined(newDescriptors);
    return report;
}

}  // namespace leak_watch
