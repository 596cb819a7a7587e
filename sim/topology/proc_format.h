// /proc/partitions and /proc/devices: parsed from the machine, rendered as the kernel prints them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct PartitionsLine {
    unsigned major = 0;
    unsigned minor = 0;
    uint64_t kib = 0;  // the #blocks column: 1 KiB blocks
    std::string name;
};

struct DeviceLine {
    unsigned major = 0;
    std::string name;
};

struct DevicesTable {
    std::vector<DeviceLine> character;
    std::vector<DeviceLine> block;
};

std::vector<PartitionsLine> parsePartitions(const std::string& text);
// The header, an empty line, then "%4d  %7d %10llu %s\n" per device.
std::string renderPartitions(const std::vector<PartitionsLine>& lines);

DevicesTable parseDevices(const std::string& text);
// "Character devices:", "%3d %s\n" lines, an empty line, "Block devices:", "%3d %s\n" lines.
std::string renderDevices(const DevicesTable& table);
// Adds a line where the kernel would list it: after the last line whose major is not greater.
void insertDevice(std::vector<DeviceLine>& lines, DeviceLine line);

std::string readTextFile(const std::string& path);

}  // namespace sim
