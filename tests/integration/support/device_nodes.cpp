#include "device_nodes.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace integ {

NodeNumbers nodeNumbers(const std::string& path) {
    NodeNumbers n;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return n;
    n.exists = true;
    n.block = S_ISBLK(st.st_mode);
    n.major = major(st.st_rdev);
    n.minor = minor(st.st_rdev);
    return n;
}

std::vector<unsigned> blockMajorsOf(const std::string& driver) {
    std::vector<unsigned> majors;
    std::ifstream in("/proc/devices");
    bool blockSection = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "Block devices:") blockSection = true;
        std::istringstream fields(line);
        unsigned major;
        std::string name;
        if (blockSection && fields >> major >> name && name == driver) majors.push_back(major);
    }
    return majors;
}

LoopBinding loopBinding(unsigned major, unsigned minor) {
    LoopBinding b;
    std::string dir =
        "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor) + "/loop/";
    std::ifstream backing(dir + "backing_file");
    if (!std::getline(backing, b.backingFile)) return b;
    b.bound = true;
    std::ifstream(dir + "offset") >> b.offset;
    std::ifstream(dir + "sizelimit") >> b.sizeLimit;
    return b;
}

std::set<unsigned> loopMinorsBehindHdlmNodes() {
    std::set<unsigned> minors;
    std::vector<unsigned> loop = blockMajorsOf("loop");
    if (loop.empty()) return minors;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/dev"), closedir);
    if (!dir) return minors;
    while (struct dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name.compare(0, 5, "sddlm") != 0) continue;
        NodeNumbers n = nodeNumbers("/dev/" + name);
        if (n.block && n.major == loop.front()) minors.insert(n.minor);
    }
    return minors;
}

}  // namespace integ
