#include "kernel_layout.h"

#include <algorithm>

namespace {

// The extended partition whose range holds `start`; the first extended one when none does.
int containerOf(const std::vector<TablePartition>& partitions, uint64_t start) {
    int fallback = 0;
    for (const TablePartition& p : partitions) {
        if (!p.extended) continue;
        if (start >= p.start && start - p.start < p.size) return p.number;
        if (fallback == 0) fallback = p.number;
    }
    return fallback;
}

}  // namespace

std::list<slice> kernelLayout(std::vector<TablePartition> partitions, uint64_t deviceSectors,
                              unsigned logicalSectorSize) {
    std::stable_sort(
        partitions.begin(), partitions.end(),
        [](const TablePartition& a, const TablePartition& b) { return a.number < b.number; });

    // The kernel exposes only the head of an extended partition: 2 sectors, or one logical
    // sector where that is larger, so that nothing formats the whole container.
    const uint64_t containerSize = std::max<uint64_t>(2, logicalSectorSize / 512);

    std::list<slice> slices;
    for (const TablePartition& p : partitions) {
        slice s{};
        s.start = p.start;
        s.size = p.extended ? std::min(p.size, containerSize) : p.size;
        s.container = p.logical ? containerOf(partitions, p.start) : 0;
        s.major = 0;
        s.minor = p.number;
        if (s.start >= deviceSectors) continue;  // starts beyond the end: no node
        s.size = std::min(s.size, deviceSectors - s.start);
        if (s.size == 0) continue;
        slices.push_back(s);
    }
    return slices;
}
