// getPartitions on real block devices (loop devices): 4096-byte logical sectors, a device that
// ends before its table does, a node without a driver. Needs root; skipped otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "disk_image.h"
#include "kpartx.h"
#include "loop_device.h"
#include "slice_testing.h"
#include "temp_dir.h"

namespace {

struct DeviceCase {
    const char* name;
    unsigned sectorSize;
    const char* script;         // written through the loop device, in its own sector size
    uint64_t sizeLimitSectors;  // in 512-byte units; 0: the whole image
    std::vector<slice> expected;
    bool matchesSfdisk;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const DeviceCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr uint64_t kImageBytes = 32ULL << 20;

const DeviceCase kCases[] = {
    // 4096-byte sectors: every start and size scaled by 8; the extended container is one
    // logical sector (8 units) long.
    {"Sector4096MbrWithLogicals",
     4096,
     "label: dos\nstart=256,size=2048,type=83\nstart=4096,size=2048,type=5\nstart=4352,size=1024\n",
     0,
     {makeSlice(1, 2048, 16384), makeSlice(2, 32768, 8), makeSlice(5, 34816, 8192, 2)},
     true},
    {"Sector4096GptWithGap",
     4096,
     "label: gpt\n2 : start=256,size=2048\n5 : start=4096,size=1024\n",
     0,
     {makeSlice(2, 2048, 16384), makeSlice(5, 32768, 8192)},
     true},
    {"Sector512Mbr",
     512,
     "label: dos\nstart=2048,size=8192,type=83\nstart=10240,size=4096,type=83\n",
     0,
     {makeSlice(1, 2048, 8192), makeSlice(2, 10240, 4096)},
     true},
    // The device ends before its table does (--sizelimit): its size comes from the device.
    {"Sector512DeviceShorterThanTable",
     512,
     "label: dos\n1 : start=2048,size=8192,type=83\n2 : start=40960,size=20480,type=83\n"
     "3 : start=61440,size=4096,type=83\n",
     51200,
     {makeSlice(1, 2048, 8192), makeSlice(2, 40960, 10240)},
     false},
};

class BlockDevice : public ::testing::TestWithParam<DeviceCase> {
protected:
    testsupport::TempDir dir_;
};

TEST_P(BlockDevice, ListsPartitionsIn512ByteUnits) {
    const DeviceCase& c = GetParam();
    DiskImage image(dir_ / "disk.img", kImageBytes);
    std::string device;
    {
        LoopDevice writer(image.str(), c.sectorSize);
        if (!writer.attached()) GTEST_SKIP() << writer.failure();
        writeTable(writer.path(), c.script);
    }
    LoopDevice loop(image.str(), c.sectorSize, c.sizeLimitSectors * 512);
    if (!loop.attached()) GTEST_SKIP() << loop.failure();

    std::list<slice> slices;
    const int count = getPartitions(loop.path().c_str(), slices);

    ASSERT_EQ(count, static_cast<int>(c.expected.size())) << loop.path();
    EXPECT_EQ(toVector(slices), c.expected);

    if (!c.matchesSfdisk) return;
    const uint64_t containerSize = std::max<uint64_t>(2, c.sectorSize / 512);
    const std::vector<SfdiskPartition> reference = sfdiskPartitions(loop.path());
    ASSERT_EQ(reference.size(), slices.size());
    for (const SfdiskPartition& p : reference) {
        auto s = std::find_if(slices.begin(), slices.end(),
                              [&](const slice& x) { return x.minor == p.number; });
        ASSERT_NE(s, slices.end()) << "partition " << p.number << " missing";
        EXPECT_EQ(s->start, p.start) << "partition " << p.number;
        EXPECT_EQ(s->size, p.extended ? std::min(p.size, containerSize) : p.size);
    }
}

INSTANTIATE_TEST_SUITE_P(LoopDevices, BlockDevice, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DeviceCase>& info) {
                             return std::string(info.param.name);
                         });

// A block major no driver registered (from the range set aside for local use).
int unregisteredBlockMajor() {
    std::ifstream devices("/proc/devices");
    std::set<int> used;
    std::string line;
    bool block = false;
    while (std::getline(devices, line)) {
        if (line == "Block devices:")
            block = true;
        else if (block && !line.empty())
            used.insert(int(std::strtol(line.c_str(), nullptr, 10)));
    }
    for (int major = 60; major <= 63; ++major)
        if (!used.count(major)) return major;
    return 0;
}

TEST(BlockDeviceNode, WithoutADriverIsEnxio) {
    const int major = unregisteredBlockMajor();
    if (major == 0) GTEST_SKIP() << "every local-use block major is taken";
    testsupport::TempDir dir;
    const std::string node = (dir / "orphan").string();
    if (mknod(node.c_str(), S_IFBLK | 0600, makedev(major, 0)) != 0)
        GTEST_SKIP() << "mknod needs root (CAP_MKNOD): " << std::strerror(errno);

    std::list<slice> slices;
    EXPECT_EQ(getPartitions(node.c_str(), slices), -ENXIO);
    EXPECT_TRUE(slices.empty());
}

}  // namespace
