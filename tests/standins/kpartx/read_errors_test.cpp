// A disk that fails while its table is read. Where the head of the disk can't be read the call
// fails with the read's errno. A failure deeper in the table ends that table the way it ends
// the kernel's own reading: an EBR chain stops at the unreadable EBR, a GPT whose entries
// can't be read (nor the backup's) is no table.
#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

#include "disk_image.h"
#include "kpartx.h"
#include "read_fault.h"
#include "slice_testing.h"
#include "temp_dir.h"

namespace {

const char* const kExtendedChain =
    "label: dos\n"
    "start=2048,size=8192,type=83\n"
    "start=10240,size=40960,type=5\n"
    "start=12288,size=4096\n"
    "start=18432,size=4096\n";

const char* const kGpt = "label: gpt\nstart=2048,size=8192\nstart=10240,size=8192\n";

struct FaultCase {
    const char* name;
    const char* script;
    off_t failFromByte;
    int error;
    int expected;               // result of getPartitions
    std::vector<slice> slices;  // what it appends
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

const FaultCase kCases[] = {
    {"FirstSectorUnreadable", kExtendedChain, 0, EIO, -EIO, {}},
    {"ErrnoIsPassedOn", kExtendedChain, 0, ENOMEDIUM, -ENOMEDIUM, {}},
    {"LastByteOfTheFirst4KiBUnreadable", kExtendedChain, 4095, EIO, -EIO, {}},
    // The second EBR (sector 16384) fails: the logicals before it remain.
    {"SecondEbrUnreadable",
     kExtendedChain,
     16384L * 512,
     EIO,
     3,
     {makeSlice(1, 2048, 8192), makeSlice(2, 10240, 2), makeSlice(5, 12288, 4096, 2)}},
    {"GptEntriesAndBackupUnreadable", kGpt, 8L * 1024, EIO, 0, {}},
};

class ReadErrors : public ::testing::TestWithParam<FaultCase> {
protected:
    testsupport::TempDir dir_;
};

TEST_P(ReadErrors, ReturnNegativeErrno) {
    const FaultCase& c = GetParam();
    DiskImage image(dir_ / "disk.img", 32ULL << 20);
    writeTable(image.str(), c.script);
    const slice sentinel = makeSlice(42, 1, 2);
    std::list<slice> slices{sentinel};

    int rc = 0;
    {
        ReadFault fault(image.str(), c.failFromByte, c.error);
        rc = getPartitions(image.path().c_str(), slices);
        ASSERT_GT(ReadFault::injected(), 0) << "no read reached the failing region";
    }
    EXPECT_EQ(rc, c.expected);
    std::vector<slice> expected{sentinel};
    expected.insert(expected.end(), c.slices.begin(), c.slices.end());
    EXPECT_EQ(toVector(slices), expected);

    // The same image reads fine once the fault is gone.
    std::list<slice> healthy;
    EXPECT_GT(getPartitions(image.path().c_str(), healthy), static_cast<int>(c.slices.size()));
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadErrors, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
