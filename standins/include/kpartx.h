// Partition-table reader of libkpartx.so.
#pragma once
#include <cstddef>
#include <cstdint>
#include <list>

struct slice {
    uint64_t start;  // first sector, 512-byte units
    uint64_t size;   // length, 512-byte units
    int container;   // number of the extended partition holding a logical one, else 0
    int major;       // always 0
    int minor;       // the partition's number
};
static_assert(sizeof(slice) == 32, "slice is a 32-byte record");
static_assert(offsetof(slice, start) == 0 && offsetof(slice, size) == 8 &&
                  offsetof(slice, container) == 16 && offsetof(slice, major) == 20 &&
                  offsetof(slice, minor) == 24,
              "slice field offsets are fixed");

// Appends one slice per partition of `device`, in partition-number order. Returns the number
// appended (0 without a table), or a negative errno when the device can't be opened or read.
int getPartitions(const char* device, std::list<slice>& slices);
