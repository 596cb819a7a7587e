// Device nodes, the drivers /proc/devices names, and what the kernel says about a loop device.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace integ {

struct NodeNumbers {
    bool exists = false;
    bool block = false;
    unsigned major = 0;
    unsigned minor = 0;
};

NodeNumbers nodeNumbers(const std::string& path);

// The block majors /proc/devices lists for `driver`, in its order.
std::vector<unsigned> blockMajorsOf(const std::string& driver);

// The kernel's view of the loop device major:minor, from /sys/dev/block.
struct LoopBinding {
    bool bound = false;
    std::string backingFile;
    uint64_t offset = 0;
    uint64_t sizeLimit = 0;
};

LoopBinding loopBinding(unsigned major, unsigned minor);

// The loop minors behind the /dev/sddlm* nodes (the loop driver gives each index one minor).
std::set<unsigned> loopMinorsBehindHdlmNodes();

}  // namespace integ
