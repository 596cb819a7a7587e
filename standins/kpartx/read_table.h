// Reads the partition table of a probed disk through libblkid.
#pragma once
#include <blkid/blkid.h>

#include <vector>

#include "table_partition.h"

// Appends every partition libblkid finds. Returns 0 (also for a disk without a table) or a
// negative errno when the disk could not be read.
int readTable(blkid_probe probe, std::vector<TablePartition>& partitions);
