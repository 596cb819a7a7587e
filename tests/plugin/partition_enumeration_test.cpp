// getPartitionDevices on real device nodes (private /dev; root only) with scripted slices.
#include <sys/stat.h>

#include <cstring>

#include "support/plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

slice part(int number, uint64_t start, uint64_t size) {
    return slice{start, size, 0, 0, number};
}

class PartitionEnumerationTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        standardHost();
        node("/dev/sddlmaa", 253, 16);
        std::memset(static_cast<void*>(parts), 0x3c, sizeof(parts));
    }
    int enumerate(const char* device, int capacity, TsPartInfo* array = nullptr) {
        count = capacity;
        return plugin->getPartitionDevices(nullptr, device, array ? array : parts, &count, 99,
                                           &errorCode, errorMessage.data());
    }
    bool untouched(int from) const {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(parts + from);
        for (size_t i = 0; i < sizeof(TsPartInfo) * (8 - from); ++i)
            if (bytes[i] != 0x3c) return false;
        return true;
    }
    TsPartInfo parts[8];
    int count = 0;
};

TEST_F(PartitionEnumerationTest, FillsOneRecordPerSlice) {
    host_double::scriptPartitions(2, {part(1, 2048, 4096), part(2, 6144, 1 << 20)});
    EXPECT_EQ(enumerate("/dev/sddlmaa", 8), 2);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(recordOf(parts[0]), (PartitionRecord{"/dev/sddlmaa1", 1, 2048, 4096, 512, 253, 17}));
    EXPECT_EQ(recordOf(parts[1]),
              (PartitionRecord{"/dev/sddlmaa2", 2, 6144, 1u << 20, 512, 253, 18}));
    // The record is written whole: the name's tail and the alignment gap are zero.
    const unsigned char* record = reinterpret_cast<const unsigned char*>(&parts[0]);
    for (size_t i = std::strlen(parts[0].devName); i < sizeof(parts[0].devName); ++i)
        ASSERT_EQ(record[i], 0) << i;
    EXPECT_TRUE(untouched(2));
    EXPECT_THAT(host_double::partitionReads(), ElementsAre("/dev/sddlmaa"));
    EXPECT_EQ(errorCode, kUntouchedCode);
    EXPECT_TRUE(errorMessage.untouched());
    EXPECT_THAT(host_double::logs(), ::testing::SizeIs(1));  // init's major line only
}

// HDLM gives a disk 16 minors: partition 16 or 17 of sddlmaa (253:16) has no node, 253:33
// would be sddlmab1, and a number below 1 would name the disk itself or the disk before. The
// record stays, with a device number that names no device; the partition is logged whether or
// not its record fits.
TEST_F(PartitionEnumerationTest, PartitionsOutsideTheDisksMinorsGetDeviceNumberZero) {
    struct Case {
        int capacity;
        int written;
        const char* fate;  // of partition 17, as logged
    };
    const int numbers[] = {15, 0, -3, 17};
    const unsigned expected[][2] = {{253, 31}, {0, 0}, {0, 0}, {0, 0}};
    for (const Case& c : {Case{8, 4, "recorded with device number 0:0"},
                          Case{1, 1, "not recorded, beyond the caller's capacity"}}) {
        SCOPED_TRACE(c.capacity);
        host_double::reset();
        std::memset(static_cast<void*>(parts), 0x3c, sizeof(parts));
        host_double::scriptPartitions(4, {part(numbers[0], 10, 1), part(numbers[1], 20, 2),
                                          part(numbers[2], 30, 3), part(numbers[3], 40, 4)});
        EXPECT_EQ(enumerate("/dev/sddlmaa", c.capacity), 4);
        EXPECT_EQ(count, 4);
        for (int i = 0; i < c.written; ++i) {
            SCOPED_TRACE(numbers[i]);
            EXPECT_EQ(parts[i].partNum, static_cast<uint32_t>(numbers[i]));
            EXPECT_EQ(parts[i].startSector, uint64_t(10 * (i + 1)));
            EXPECT_EQ(parts[i].numSectors, uint64_t(i + 1));
            EXPECT_EQ(parts[i].devName, "/dev/sddlmaa" + std::to_string(numbers[i]));
            EXPECT_EQ(parts[i].devMajor, expected[i][0]);
            EXPECT_EQ(parts[i].devMinor, expected[i][1]);
        }
        EXPECT_TRUE(untouched(c.written));
        const auto lines = host_double::logsWithLabel("HDLM::getPartitionDevices");
        ASSERT_EQ(lines.size(), 3u);
        for (const auto& line : lines) EXPECT_EQ(line.level, -1);
        EXPECT_EQ(lines[2].message,
                  std::string("Partition 17 of /dev/sddlmaa has no device node: ") + c.fate);
    }
}

TEST_F(PartitionEnumerationTest, CapacityLimitsRecordsNotTheCount) {
    struct Case {
        int capacity;
        int written;
    };
    for (const Case& c : {Case{3, 3}, Case{0, 0}, Case{-2, 0}, Case{8, 5}}) {
        SCOPED_TRACE(c.capacity);
        std::memset(static_cast<void*>(parts), 0x3c, sizeof(parts));
        host_double::scriptPartitions(
            5, {part(1, 1, 1), part(2, 2, 2), part(3, 3, 3), part(5, 5, 5), part(6, 6, 6)});
        EXPECT_EQ(enumerate("/dev/sddlmaa", c.capacity), 5);
        EXPECT_EQ(count, 5);
        const int numbers[] = {1, 2, 3, 5, 6};
        for (int i = 0; i < c.written; ++i)
            EXPECT_EQ(parts[i].partNum, static_cast<uint32_t>(numbers[i]));
        EXPECT_TRUE(untouched(c.written));
    }
}

TEST_F(PartitionEnumerationTest, DiskWithoutPartitions) {
    host_double::scriptPartitions(0, {});
    EXPECT_EQ(enumerate("/dev/sddlmaa", 8), 0);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(untouched(0));
}

TEST_F(PartitionEnumerationTest, RefusesWhatIsNotAWholeHdlmDisk) {
    host_double::scriptPartitions(1, {part(1, 1, 1)});
    node("/dev/sd%s%n", 8, 48);
    for (const char* device : {"/dev/sddlmab1", "/dev/sdc", "/dev/nosuch", "/dev/sd%s%n"}) {
        SCOPED_TRACE(device);
        errorCode = 0;
        EXPECT_EQ(enumerate(device, 8), -1);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(errorCode, -1);
        EXPECT_EQ(errorMessage.text(), device);  // the path itself, never a format
        EXPECT_TRUE(untouched(0));
        // With no error outputs the result alone tells.
        count = 8;
        EXPECT_EQ(plugin->getPartitionDevices(nullptr, device, parts, &count, 0, nullptr, nullptr),
                  -1);
        EXPECT_EQ(count, 0);
    }
    EXPECT_THAT(host_double::partitionReads(), IsEmpty());
}

TEST_F(PartitionEnumerationTest, ReaderFailurePassesItsCodeOn) {
    host_double::scriptPartitions(-5, {part(1, 1, 1)});
    EXPECT_EQ(enumerate("/dev/sddlmaa", 8), -5);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(errorCode, -5);
    EXPECT_EQ(errorMessage.text(), "/dev/sddlmaa");
    EXPECT_TRUE(untouched(0));
}

TEST_F(PartitionEnumerationTest, LongNameIsCutTo1022Characters) {
    std::string dir = "/dev";
    while (dir.size() < 1010) {
        dir += "/" + std::string(100, 'd');
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    }
    const std::string disk = dir + "/sddlmxyzxyzxyz";
    ASSERT_GT(disk.size(), 1022u);
    node(disk, 253, 32);
    host_double::scriptPartitions(1, {part(1, 1, 1)});
    EXPECT_EQ(enumerate(disk.c_str(), 1), 1);
    EXPECT_EQ(std::string(parts[0].devName), (disk + "1").substr(0, 1022));
    EXPECT_EQ(parts[0].devName[1022], '\0');
    EXPECT_EQ(parts[0].devName[1023], '\0');
    EXPECT_EQ(parts[0].devMinor, 33u);
    EXPECT_TRUE(untouched(1));
}

TEST_F(PartitionEnumerationTest, NullArgumentsAreRefused) {
    host_double::scriptPartitions(1, {part(1, 1, 1)});
    count = 8;
    EXPECT_EQ(plugin->getPartitionDevices(nullptr, nullptr, parts, &count, 0, &errorCode,
                                          errorMessage.data()),
              -1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "Invalid argument: device is null");

    errorCode = 0;
    EXPECT_EQ(plugin->getPartitionDevices(nullptr, "/dev/sddlmaa", parts, nullptr, 0, &errorCode,
                                          errorMessage.data()),
              -1);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), "Invalid argument: count is null");

    count = 2;
    errorCode = 0;
    EXPECT_EQ(plugin->getPartitionDevices(nullptr, "/dev/sddlmaa", nullptr, &count, 0, &errorCode,
                                          errorMessage.data()),
              -1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(errorMessage.text(), "Invalid argument: partInfo is null");
    EXPECT_THAT(host_double::partitionReads(), IsEmpty());
    EXPECT_TRUE(untouched(0));

    // Asking for no records needs no array: the call only counts.
    count = 0;
    EXPECT_EQ(
        plugin->getPartitionDevices(nullptr, "/dev/sddlmaa", nullptr, &count, 0, nullptr, nullptr),
        1);
    EXPECT_EQ(count, 1);
}

}  // namespace
