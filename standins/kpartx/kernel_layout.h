// Turns the partitions of a table into the slices the kernel would make device nodes for.
#pragma once
#include <cstdint>
#include <list>
#include <vector>

#include "kpartx.h"
#include "table_partition.h"

// Orders by partition number, shrinks an extended partition to the kernel's container size,
// numbers each logical partition's container, drops partitions that start beyond the end of
// the device and cuts those that run past it. `deviceSectors` in 512-byte units.
std::list<slice> kernelLayout(std::vector<TablePartition> partitions, uint64_t deviceSectors,
                              unsigned logicalSectorSize);
