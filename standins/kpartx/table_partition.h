// One partition as the table describes it, before the kernel's rules are applied.
#pragma once
#include <cstdint>

struct TablePartition {
    int number = 0;      // the partition's number (GPT entry number, 5.. for logicals)
    uint64_t start = 0;  // 512-byte units
    uint64_t size = 0;   // 512-byte units
    bool extended = false;
    bool logical = false;
};
