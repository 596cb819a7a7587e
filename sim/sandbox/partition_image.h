// Disk images with a partition table, written through libfdisk.
#pragma once
#include <cstdint>
#include <string>

#include "topology/topology.h"

namespace sim {

// Creates a sparse image of `sizeBytes` at `path` and writes `table` into it, partitions at
// exactly the given sectors. Throws std::runtime_error saying which step failed.
void writePartitionImage(const std::string& path, uint64_t sizeBytes, const PartitionTable& table);
// A blank sparse image: a disk without a partition table.
void writeBlankImage(const std::string& path, uint64_t sizeBytes);

}  // namespace sim
