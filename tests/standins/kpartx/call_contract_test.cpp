// How getPartitions treats its caller: appends, holds no state, leaks nothing, exports one symbol.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "disk_image.h"
#include "kpartx.h"
#include "process_runner.h"
#include "slice_testing.h"
#include "temp_dir.h"

namespace {

const char* const kTwoPrimaries =
    "label: dos\nstart=2048,size=4096,type=83\nstart=8192,size=4096,type=83\n";
const std::vector<slice> kTwoSlices = {makeSlice(1, 2048, 4096), makeSlice(2, 8192, 4096)};

class CallContract : public ::testing::Test {
protected:
    void SetUp() override { writeTable(image_.str(), kTwoPrimaries); }
    testsupport::TempDir dir_;
    DiskImage image_{dir_ / "disk.img", 8ULL << 20};
};

TEST_F(CallContract, AppendsAfterWhatTheListHolds) {
    const slice earlier = makeSlice(9, 100, 200, 1);
    std::list<slice> slices{earlier};
    ASSERT_EQ(getPartitions(image_.path().c_str(), slices), 2);
    std::vector<slice> expected{earlier};
    expected.insert(expected.end(), kTwoSlices.begin(), kTwoSlices.end());
    EXPECT_EQ(toVector(slices), expected);

    ASSERT_EQ(getPartitions(image_.path().c_str(), slices), 2);  // a second call adds again
    EXPECT_EQ(slices.size(), 5u);
}

size_t openDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator{}));
}

TEST_F(CallContract, LeavesNoDescriptorOpen) {
    const std::string directory = dir_.path();
    const size_t before = openDescriptors();
    for (int i = 0; i < 200; ++i) {
        std::list<slice> slices;
        ASSERT_EQ(getPartitions(image_.path().c_str(), slices), 2);
        ASSERT_EQ(getPartitions(directory.c_str(), slices), -EISDIR);  // fails after open
        ASSERT_EQ(getPartitions("/dev/null", slices), -ENOTBLK);
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(CallContract, ConcurrentCallersAgree) {
    constexpr int kThreads = 4;
    constexpr int kCalls = 50;
    std::vector<std::future<int>> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.push_back(std::async(std::launch::async, [this] {
            int mismatches = 0;
            for (int i = 0; i < kCalls; ++i) {
                std::list<slice> slices;
                const int rc = getPartitions(image_.path().c_str(), slices);
                if (rc != 2 || toVector(slices) != kTwoSlices) ++mismatches;
            }
            return mismatches;
        }));
    }
    for (auto& w : workers) EXPECT_EQ(w.get(), 0);
}

// The library stands in for the host's own: same SONAME, and nothing exported that a host's
// library would not have.
TEST(LibraryInterface, SonameAndExports) {
    const std::string library = KPARTX_LIBRARY;
    const testsupport::ProgramResult soname =
        testsupport::runShell("readelf -d " + testsupport::shellQuote(library));
    ASSERT_EQ(soname.status, 0) << "readelf failed (is binutils installed?): " << soname.describe();
    EXPECT_NE(soname.out.find("Library soname: [libkpartx.so]"), std::string::npos) << soname.out;

    const testsupport::ProgramResult symbols =
        testsupport::runShell("nm -D --defined-only --format=posix " +
                              testsupport::shellQuote(library) + " | cut -d' ' -f1");
    ASSERT_EQ(symbols.status, 0) << symbols.describe();
    EXPECT_EQ(symbols.out, "_Z13getPartitionsPKcRNSt7__cxx114listI5sliceSaIS3_EEE\n");
}

}  // namespace
