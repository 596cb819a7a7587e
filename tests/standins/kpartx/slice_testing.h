// Comparison and printing of slices for test assertions, and sfdisk's view of a disk.
#pragma once
#include <list>
#include <ostream>
#include <string>
#include <vector>

#include "kpartx.h"

bool operator==(const slice& a, const slice& b);
void PrintTo(const slice& s, std::ostream* os);

// A slice as the tests spell it: number, start, size, container (512-byte units, major 0).
slice makeSlice(int number, uint64_t start, uint64_t size, int container = 0);

std::vector<slice> toVector(const std::list<slice>& slices);

// The partitions sfdisk reads from `device`, converted to 512-byte units; an extended
// partition keeps its full size here. Throws when sfdisk fails.
struct SfdiskPartition {
    int number = 0;
    uint64_t start = 0;
    uint64_t size = 0;
    bool extended = false;
};
std::vector<SfdiskPartition> sfdiskPartitions(const std::string& device);
