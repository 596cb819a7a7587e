// Paths that name no readable disk: a negative errno, and the caller's list left alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "disk_image.h"
#include "kpartx.h"
#include "slice_testing.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Makes the object under test inside the scratch directory; returns the path to pass.
using MakePath = std::function<std::string(const testsupport::TempDir&)>;

struct ErrorCase {
    const char* name;
    MakePath make;
    int expected;  // negative errno
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

std::string imageWithOnePartition(const testsupport::TempDir& dir) {
    DiskImage image(dir / "disk.img", 8ULL << 20);
    writeTable(image.str(), "label: dos\nstart=2048,size=4096,type=83\n");
    return image.str();
}

const ErrorCase kCases[] = {
    {"MissingFile", [](const testsupport::TempDir& d) { return (d / "missing.img").string(); },
     -ENOENT},
    {"EmptyPath", [](const testsupport::TempDir&) { return std::string(); }, -ENOENT},
    {"DanglingSymlink",
     [](const testsupport::TempDir& d) {
         fs::create_symlink(d / "missing.img", d / "link");
         return (d / "link").string();
     },
     -ENOENT},
    {"PathThroughARegularFile",
     [](const testsupport::TempDir& d) { return imageWithOnePartition(d) + "/1"; }, -ENOTDIR},
    {"Directory", [](const testsupport::TempDir& d) { return d.path(); }, -EISDIR},
    // Opening must not wait for a writer: a FIFO is refused at once.
    {"FifoWithoutWriter",
     [](const testsupport::TempDir& d) {
         const fs::path fifo = d / "fifo";
         if (mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
         return fifo.string();
     },
     -ENOTBLK},
    {"CharacterDevice", [](const testsupport::TempDir&) { return std::string("/dev/null"); },
     -ENOTBLK},
};

class OpenErrors : public ::testing::TestWithParam<ErrorCase> {
protected:
    testsupport::TempDir dir_;
};

TEST_P(OpenErrors, ReturnsNegativeErrnoAndKeepsTheList) {
    const ErrorCase& c = GetParam();
    const std::string path = c.make(dir_);
    const slice sentinel = makeSlice(42, 1, 2, 3);
    std::list<slice> slices{sentinel};

    const auto began = std::chrono::steady_clock::now();
    const int rc = getPartitions(path.c_str(), slices);
    const auto took = std::chrono::steady_clock::now() - began;

    EXPECT_EQ(rc, c.expected) << "path " << path;
    EXPECT_EQ(toVector(slices), std::vector<slice>{sentinel});
    EXPECT_LT(took, std::chrono::seconds(2)) << "getPartitions blocked on " << path;
}

INSTANTIATE_TEST_SUITE_P(Paths, OpenErrors, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ErrorCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(OpenErrorsNull, NullPathIsInvalid) {
    std::list<slice> slices;
    EXPECT_EQ(getPartitions(nullptr, slices), -EINVAL);
    EXPECT_TRUE(slices.empty());
}

// A symlink to an image is followed like the kernel's own device links in /dev.
TEST(OpenErrorsSymlink, SymlinkToAnImageIsRead) {
    testsupport::TempDir dir;
    const std::string image = imageWithOnePartition(dir);
    fs::create_symlink(image, dir / "link");
    std::list<slice> slices;
    ASSERT_EQ(getPartitions((dir / "link").c_str(), slices), 1);
    EXPECT_EQ(toVector(slices), std::vector<slice>{makeSlice(1, 2048, 4096)});
}

}  // namespace
