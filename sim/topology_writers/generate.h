// Large topologies made to order (hdlm-sim generate).
#pragma once
#include <string>

#include "topology/topology.h"

namespace sim {

struct GenerateOptions {
    int lus = 16;            // 1..512
    int paths = 2;           // per LU, 1..16
    int partitions = 0;      // per LU, 0..15
    int storageSystems = 1;  // LUs are dealt out in turn
    std::string label;       // "dos" or "gpt"; empty: dos for up to 4 partitions, else gpt
    uint64_t sizeMiB = 64;
    int loopBackedLUs = 16;  // how many of the LUs with a table get loop devices
};

// Throws std::invalid_argument naming the option that is out of range.
Topology generateTopology(const GenerateOptions& options);

}  // namespace sim
