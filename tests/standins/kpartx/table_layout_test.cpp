// getPartitions on image files whose tables sfdisk wrote: what the kernel would list, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "disk_image.h"
#include "kpartx.h"
#include "slice_testing.h"
#include "temp_dir.h"

namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kImageBytes = 32ULL << 20;  // 65536 sectors

const char* const kPrimaries =
    "label: dos\n"
    "1 : start=2048,size=8192,type=83\n"
    "2 : start=10240,size=16384,type=83\n"
    "3 : start=26624,size=4096,type=82\n";

const char* const kPastEnd =
    "label: dos\n"
    "1 : start=2048,size=8192,type=83\n"
    "2 : start=40960,size=20480,type=83\n"
    "3 : start=61440,size=4096,type=83\n";

const char* const kGptWithGaps =
    "label: gpt\n"
    "1 : start=2048,size=8192\n"
    "3 : start=10240,size=8192\n"
    "7 : start=20480,size=4096\n";

using Damage = std::function<void(const DiskImage&)>;

struct LayoutCase {
    const char* name;
    uint64_t imageBytes;
    const char* script;  // sfdisk input; empty: the image keeps no table
    Damage damage;       // what the test does to the image after sfdisk wrote it
    std::vector<slice> expected;
    bool matchesSfdisk;  // sfdisk reads the same partitions (the image is intact)
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

Damage shrinkTo(uint64_t sectors) {
    return [sectors](const DiskImage& image) { image.resize(sectors * kSector); };
}

// The primary GPT header sits in sector 1; its CRC32 at byte 16.
void breakPrimaryGptCrc(const DiskImage& image) {
    image.patchLe32(kSector + 16, ~image.readLe32(kSector + 16));
}
void wipePrimaryGptHeader(const DiskImage& image) {
    image.patch(kSector, std::vector<uint8_t>(kSector, 0));
}
void wipeBothGptHeaders(const DiskImage& image) {
    wipePrimaryGptHeader(image);
    image.patch(kImageBytes - kSector, std::vector<uint8_t>(kSector, 0));
}

const std::vector<slice> kGptGapSlices = {makeSlice(1, 2048, 8192), makeSlice(3, 10240, 8192),
                                          makeSlice(7, 20480, 4096)};

const LayoutCase kCases[] = {
    {"MbrPrimaries",
     kImageBytes,
     kPrimaries,
     nullptr,
     {makeSlice(1, 2048, 8192), makeSlice(2, 10240, 16384), makeSlice(3, 26624, 4096)},
     true},
    {"MbrSlotsListedByNumberNotByPlace",
     kImageBytes,
     "label: dos\n4 : start=2048,size=4096,type=83\n1 : start=8192,size=4096,type=83\n",
     nullptr,
     {makeSlice(1, 8192, 4096), makeSlice(4, 2048, 4096)},
     true},
    {"ExtendedChainWithLogicals",
     kImageBytes,
     kExtendedChainScript,
     nullptr,
     {makeSlice(1, 2048, 8192), makeSlice(2, 10240, 2), makeSlice(5, 12288, 4096, 2),
      makeSlice(6, 18432, 4096, 2), makeSlice(7, 24576, 8192, 2)},
     true},
    {"ExtendedInSlotThreeBeforeAPrimary",
     kImageBytes,
     "label: dos\n1 : start=2048,size=4096,type=83\n3 : start=8192,size=32768,type=f\n"
     "4 : start=40960,size=4096,type=83\n5 : start=10240,size=4096\n6 : start=16384,size=4096\n",
     nullptr,
     {makeSlice(1, 2048, 4096), makeSlice(3, 8192, 2), makeSlice(4, 40960, 4096),
      makeSlice(5, 10240, 4096, 3), makeSlice(6, 16384, 4096, 3)},
     true},
    {"GptKeepsGapsInNumbering", kImageBytes, kGptWithGaps, nullptr, kGptGapSlices, true},
    // Like the kernel, libblkid falls back to the backup header at the end of the disk.
    {"GptPrimaryHeaderBadCrcUsesBackup", kImageBytes, kGptWithGaps, breakPrimaryGptCrc,
     kGptGapSlices, true},
    {"GptPrimaryHeaderWipedUsesBackup", kImageBytes, kGptWithGaps, wipePrimaryGptHeader,
     kGptGapSlices, true},
    // The protective MBR alone is no partition table.
    {"GptBothHeadersWipedIsNoTable", kImageBytes, kGptWithGaps, wipeBothGptHeaders, {}, false},
    // The primary header claims sectors the device lacks and the backup is gone: no table.
    {"GptOfALargerDiskIsNoTable", kImageBytes, kGptWithGaps, shrinkTo(50000), {}, false},
    {"ZeroedDiskHasNoTable", kImageBytes, "", nullptr, {}, false},
    {"EmptyFileHasNoTable", 0, "", nullptr, {}, false},
    {"FileShorterThanASectorHasNoTable", 100, "", nullptr, {}, false},
    {"DosLabelWithoutPartitions", kImageBytes, "label: dos\n", nullptr, {}, true},
    {"GptLabelWithoutPartitions", kImageBytes, "label: gpt\n", nullptr, {}, true},
    {"PartitionPastTheEndIsCutAndOneBeyondItLeftOut",
     kImageBytes,
     kPastEnd,
     shrinkTo(51200),
     {makeSlice(1, 2048, 8192), makeSlice(2, 40960, 10240)},
     false},
    {"PartitionEndingAtTheEndIsKeptWhole",
     kImageBytes,
     kPastEnd,
     shrinkTo(61440),
     {makeSlice(1, 2048, 8192), makeSlice(2, 40960, 20480)},
     false},
    {"LogicalPastTheEndIsCut",
     kImageBytes,
     kExtendedChainScript,
     shrinkTo(28672),
     {makeSlice(1, 2048, 8192), makeSlice(2, 10240, 2), makeSlice(5, 12288, 4096, 2),
      makeSlice(6, 18432, 4096, 2), makeSlice(7, 24576, 4096, 2)},
     false},
    {"ExtendedContainerCutToTheLastSector",
     kImageBytes,
     kExtendedChainScript,
     shrinkTo(10241),
     {makeSlice(1, 2048, 8192), makeSlice(2, 10240, 1)},
     false},
};

std::vector<LayoutCase> intactCases() {
    std::vector<LayoutCase> intact;
    for (const LayoutCase& c : kCases)
        if (c.matchesSfdisk) intact.push_back(c);
    return intact;
}

std::string caseName(const ::testing::TestParamInfo<LayoutCase>& info) {
    return info.param.name;
}

class TableLayout : public ::testing::TestWithParam<LayoutCase> {
protected:
    testsupport::TempDir dir_;
};
class TableLayoutVsSfdisk : public TableLayout {};

TEST_P(TableLayout, ListsWhatTheKernelWould) {
    const LayoutCase& c = GetParam();
    DiskImage image(dir_ / "disk.img", c.imageBytes);
    if (*c.script) writeTable(image.str(), c.script);
    if (c.damage) c.damage(image);

    std::list<slice> slices;
    const int count = getPartitions(image.path().c_str(), slices);

    ASSERT_EQ(count, static_cast<int>(c.expected.size()));
    EXPECT_EQ(toVector(slices), c.expected);
}

// Independent reading of the same image: sfdisk's starts and sizes, the extended partition
// shown only by its head.
TEST_P(TableLayoutVsSfdisk, AgreesWithSfdisk) {
    const LayoutCase& c = GetParam();
    DiskImage image(dir_ / "disk.img", c.imageBytes);
    writeTable(image.str(), c.script);
    if (c.damage) c.damage(image);

    std::list<slice> slices;
    ASSERT_GE(getPartitions(image.path().c_str(), slices), 0);
    const std::vector<SfdiskPartition> reference = sfdiskPartitions(image.str());
    ASSERT_EQ(slices.size(), reference.size());
    for (const SfdiskPartition& p : reference) {
        auto s = std::find_if(slices.begin(), slices.end(),
                              [&](const slice& x) { return x.minor == p.number; });
        ASSERT_NE(s, slices.end()) << "partition " << p.number << " missing";
        EXPECT_EQ(s->start, p.start) << "partition " << p.number;
        EXPECT_EQ(s->size, p.extended ? std::min<uint64_t>(p.size, 2) : p.size)
            << "partition " << p.number;
    }
}

INSTANTIATE_TEST_SUITE_P(Images, TableLayout, ::testing::ValuesIn(kCases), caseName);
INSTANTIATE_TEST_SUITE_P(IntactImages, TableLayoutVsSfdisk, ::testing::ValuesIn(intactCases()),
                         caseName);

}  // namespace
