#include "topology/proc_format.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace sim {

std::vector<PartitionsLine> parsePartitions(const std::string& text) {
    std::vector<PartitionsLine> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        PartitionsLine p;
        std::istringstream fields(line);
        unsigned long long kib = 0;
        if (!(fields >> p.major >> p.minor >> kib >> p.name)) continue;  // header, blank line
        p.kib = kib;
        lines.push_back(p);
    }
    return lines;
}

std::string renderPartitions(const std::vector<PartitionsLine>& lines) {
    std::string out = "major minor  #blocks  name\n\n";
    char buf[512];
    for (const PartitionsLine& p : lines) {
        snprintf(buf, sizeof buf, "%4u  %7u %10llu %s\n", p.major, p.minor,
                 (unsigned long long)p.kib, p.name.c_str());
        out += buf;
    }
    return out;
}

DevicesTable parseDevices(const std::string& text) {
    DevicesTable t;
    std::istringstream in(text);
    std::string line;
    std::vector<DeviceLine>* section = nullptr;
    while (std::getline(in, line)) {
        if (line == "Character devices:")
            section = &t.character;
        else if (line == "Block devices:")
            section = &t.block;
        else if (section) {
            DeviceLine d;
            std::istringstream fields(line);
            if (!(fields >> d.major)) continue;
            std::getline(fields >> std::ws,
                         d.name);  // names may hold blanks ("/dev/vc/0" has none, but be lenient)
            section->push_back(d);
        }
    }
    return t;
}

std::string renderDevices(const DevicesTable& t) {
    std::string out = "Character devices:\n";
    char buf[512];
    for (const DeviceLine& d : t.character) {
        snprintf(buf, sizeof buf, "%3u %s\n", d.major, d.name.c_str());
        out += buf;
    }
    out += "\nBlock devices:\n";
    for (const DeviceLine& d : t.block) {
        snprintf(buf, sizeof buf, "%3u %s\n", d.major, d.name.c_str());
        out += buf;
    }
    return out;
}

void insertDevice(std::vector<DeviceLine>& lines, DeviceLine line) {
    auto it = lines.begin();
    while (it != lines.end() && it->major <= line.major) ++it;
    lines.insert(it, std::move(line));
}

std::string readTextFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace sim
