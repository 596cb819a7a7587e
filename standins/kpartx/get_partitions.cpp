// The exported entry point of libkpartx.so. No exception leaves it.
#include <cerrno>
#include <new>

#include "kernel_layout.h"
#include "kpartx.h"
#include "open_disk.h"
#include "read_table.h"
#include "thread_cancellation.h"

// A host may cancel its thread (pthread_cancel). The reads below, libblkid's among them, and the
// closes in noexcept destructors are cancellation points, where an unwind would end the process
// or be swallowed by the catch below. Reading a table is short, and a disk read that hangs can't
// be cancelled anyway, so cancellation is held off for the call and acts at the host's next
// cancellation point.
__attribute__((visibility("default"))) int getPartitions(const char* device,
                                                         std::list<slice>& slices) {
    if (!device) return -EINVAL;
    const cancellation::CancellationHeld heldOff;
    try {
        OpenDisk disk;
        if (int rc = openDisk(device, disk); rc < 0) return rc;

        std::vector<TablePartition> partitions;
        if (int rc = readTable(disk.probe.get(), partitions); rc < 0) return rc;

        const blkid_loff_t bytes = blkid_probe_get_size(disk.probe.get());
        const uint64_t deviceSectors = bytes > 0 ? static_cast<uint64_t>(bytes) / 512 : 0;
        const unsigned sectorSize = blkid_probe_get_sectorsize(disk.probe.get());

        std::list<slice> found = kernelLayout(std::move(partitions), deviceSectors, sectorSize);
        const int count = static_cast<int>(found.size());
        slices.splice(slices.end(), found);  // the caller's list changes only on success
        return count;
    } catch (const std::bad_alloc&) {
        return -ENOMEM;
    } catch (...) {
        return -EIO;
    }
}
