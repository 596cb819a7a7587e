// The kernel's rules on hand-made tables, for shapes sfdisk won't write: two extended
// partitions, a 1-sector container, sizes at the top of the 64-bit range.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "kernel_layout.h"
#include "slice_testing.h"

namespace {

TablePartition primary(int n, uint64_t start, uint64_t size) {
    return {n, start, size, false, false};
}
TablePartition extended(int n, uint64_t start, uint64_t size) {
    return {n, start, size, true, false};
}
TablePartition logical(int n, uint64_t start, uint64_t size) {
    return {n, start, size, false, true};
}

constexpr uint64_t kHuge = UINT64_MAX - 10;

struct LayoutCase {
    const char* name;
    std::vector<TablePartition> table;
    uint64_t deviceSectors;
    unsigned sectorSize;
    std::vector<slice> expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

const LayoutCase kCases[] = {
    {"LogicalsFindTheirOwnContainer",
     {extended(1, 100, 100), extended(2, 300, 100), logical(6, 310, 10), logical(5, 110, 10)},
     1000,
     512,
     {makeSlice(1, 100, 2), makeSlice(2, 300, 2), makeSlice(5, 110, 10, 1),
      makeSlice(6, 310, 10, 2)}},
    {"LogicalOutsideEveryContainerGoesToTheFirst",
     {extended(3, 100, 100), logical(5, 500, 10)},
     1000,
     512,
     {makeSlice(3, 100, 2), makeSlice(5, 500, 10, 3)}},
    {"OneSectorContainerStaysOneSector", {extended(2, 100, 1)}, 1000, 512, {makeSlice(2, 100, 1)}},
    {"ContainerIsOneLogicalSectorOn4KDisks",
     {extended(2, 800, 8000)},
     10000,
     4096,
     {makeSlice(2, 800, 8)}},
    {"SizeNearTheTopOfTheRangeIsCutWithoutOverflow",
     {primary(1, 100, kHuge)},
     1000,
     512,
     {makeSlice(1, 100, 900)}},
    {"StartNearTheTopOfTheRangeIsLeftOut", {primary(1, kHuge, 100)}, 1000, 512, {}},
    {"EmptyDeviceListsNothing", {primary(1, 0, 100)}, 0, 512, {}},
};

class KernelLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(KernelLayout, AppliesTheKernelsRules) {
    const LayoutCase& c = GetParam();
    EXPECT_EQ(toVector(kernelLayout(c.table, c.deviceSectors, c.sectorSize)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Tables, KernelLayout, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
