// What a simulated host must answer, as the stress compares it: the shared topology model's
// devices, the paths beneath each and the partitions each disk carries, before and after the
// refresh takes over attached-later paths and drops gone ones.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace stress {

struct ExpectedPartition {
    unsigned number = 0;
    uint64_t start = 0;    // 512-byte sectors
    uint64_t sectors = 0;  // an extended partition shows 2, as the kernel shows it
};

struct ExpectedDevice {
    std::string name;                           // bare HDLM name, e.g. sddlmaa
    std::set<std::string> paths;                // /dev/sdc, ...
    std::vector<ExpectedPartition> partitions;  // in number order
};

struct ExpectedHost {
    std::vector<ExpectedDevice> devices;  // in name order
};

struct ExpectedStates {
    ExpectedHost beforeRefresh;
    ExpectedHost afterRefresh;
};

// Throws std::runtime_error naming what it can't model (a recording, more LUs than HDLM has
// names).
ExpectedStates expectedStatesOf(const std::string& topologyJson);

}  // namespace stress
