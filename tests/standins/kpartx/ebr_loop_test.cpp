// An extended partition whose EBR chain links back on itself: reading must end, and each
// logical partition is reported once.
#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "disk_image.h"
#include "kpartx.h"
#include "slice_testing.h"
#include "temp_dir.h"

namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kExtendedStart = 10240;

// MBR layout of an EBR: the second entry (byte 462) links the next EBR; type at +4, start
// relative to the extended partition at +8, size at +12.
constexpr uint64_t kLinkEntry = 462;

// Sector numbers of the EBRs, found by following the links sfdisk wrote.
std::vector<uint64_t> ebrSectors(const DiskImage& image) {
    std::vector<uint64_t> sectors{kExtendedStart};
    for (;;) {
        const uint64_t link = sectors.back() * kSector + kLinkEntry;
        const uint32_t relative = image.readLe32(link + 8);
        if (relative == 0 || sectors.size() > 8) break;
        sectors.push_back(kExtendedStart + relative);
    }
    return sectors;
}

void linkEbr(const DiskImage& image, uint64_t fromSector, uint64_t toSector) {
    const uint64_t link = fromSector * kSector + kLinkEntry;
    image.patch(link + 4, {0x05});
    image.patchLe32(link + 8, static_cast<uint32_t>(toSector - kExtendedStart));
    image.patchLe32(link + 12, 2048);
}

struct LoopCase {
    const char* name;
    size_t from;  // index of the EBR whose link is bent
    size_t to;    // index of the EBR it now points at (an earlier one, or itself)
    std::vector<slice> expected;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const LoopCase& c, std::ostream* os) {
    *os << c.name;
}

const slice kPrimary = makeSlice(1, 2048, 8192);
const slice kContainer = makeSlice(2, 10240, 2);
const slice kLogical5 = makeSlice(5, 12288, 4096, 2);
const slice kLogical6 = makeSlice(6, 18432, 4096, 2);
const slice kLogical7 = makeSlice(7, 24576, 8192, 2);

const LoopCase kCases[] = {
    {"FirstLinksToItself", 0, 0, {kPrimary, kContainer, kLogical5}},
    {"MiddleLinksBackToFirst", 1, 0, {kPrimary, kContainer, kLogical5, kLogical6}},
    {"LastLinksBackToFirst", 2, 0, {kPrimary, kContainer, kLogical5, kLogical6, kLogical7}},
    {"MiddleLinksToItself", 1, 1, {kPrimary, kContainer, kLogical5, kLogical6}},
    {"LastLinksBackToMiddle", 2, 1, {kPrimary, kContainer, kLogical5, kLogical6, kLogical7}},
    {"LastLinksToItself", 2, 2, {kPrimary, kContainer, kLogical5, kLogical6, kLogical7}},
};

class EbrLoop : public ::testing::TestWithParam<LoopCase> {
protected:
    testsupport::TempDir dir_;
};

TEST_P(EbrLoop, EndsAndReportsEachLogicalOnce) {
    const LoopCase& c = GetParam();
    DiskImage image(dir_ / "loop.img", 32ULL << 20);
    writeTable(image.str(), kExtendedChainScript);
    const std::vector<uint64_t> ebrs = ebrSectors(image);
    ASSERT_EQ(ebrs.size(), 3u) << "sfdisk laid out the chain differently than expected";
    linkEbr(image, ebrs[c.from], ebrs[c.to]);

    std::list<slice> slices;
    const int count = getPartitions(image.path().c_str(), slices);

    ASSERT_EQ(count, static_cast<int>(c.expected.size()));
    EXPECT_EQ(toVector(slices), c.expected);
    std::set<int> numbers;
    for (const slice& s : slices) EXPECT_TRUE(numbers.insert(s.minor).second) << s.minor;
}

INSTANTIATE_TEST_SUITE_P(Chains, EbrLoop, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LoopCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
