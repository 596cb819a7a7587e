#include "read_table.h"

#include <cerrno>

namespace {

// libblkid's binary interface gives no list both for "no table" and for a read error. Probing
// again through the value interface tells the two apart: 1 is "nothing found", -1 an error.
int classifyMissingList(blkid_probe probe) {
    errno = 0;
    if (blkid_do_safeprobe(probe) != -1) return 0;
    return errno > 0 ? -errno : -EIO;
}

}  // namespace

int readTable(blkid_probe probe, std::vector<TablePartition>& partitions) {
    blkid_partlist list = blkid_probe_get_partitions(probe);
    if (!list) return classifyMissingList(probe);

    const int count = blkid_partlist_numof_partitions(list);
    if (count < 0) return -EIO;
    partitions.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        blkid_partition part = blkid_partlist_get_partition(list, i);
        if (!part) continue;
        const blkid_loff_t start = blkid_partition_get_start(part);
        const blkid_loff_t size = blkid_partition_get_size(part);
        const int number = blkid_partition_get_partno(part);
        if (start < 0 || size <= 0 || number <= 0) continue;  // the kernel makes no node for these

        TablePartition p;
        p.number = number;
        p.start = static_cast<uint64_t>(start);  // libblkid counts in 512-byte sectors
        p.size = static_cast<uint64_t>(size);
        p.extended = blkid_partition_is_extended(part) != 0;
        p.logical = blkid_partition_is_logical(part) != 0;
        partitions.push_back(p);
    }
    return 0;
}
