// isPartitionDevice and the parent derivation on real device nodes (private /dev; root only).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/plugin_fixture.h"

using ::testing::IsEmpty;

namespace {

class PartitionDeviceTest : public DeviceTest {
protected:
    int test(const char* device, char* parentBuffer) {
        return plugin->isPartitionDevice(nullptr, device, parentBuffer, &errorCode,
                                         errorMessage.data());
    }
    GuardedBuffer parent;
};

TEST_F(PartitionDeviceTest, TellsPartitionsByMajorAndLowMinorBits) {
    standardHost();
    node("/dev/sdc1", 8, 33);
    node("/dev/sddlmab15", 253, 31);
    node("/dev/sddlmaa10", 253, 10);
    node("/dev/sddlmaa", 253, 0);
    node("/dev/sd0x", 253, 1);
    node("/dev/sddlmac", 253, 32);
    node("/dev/sddlmab8", 253, 24);
    node("/dev/sddlmac9", 253, 41);
    node("/dev/bsg17", 253, 17, S_IFCHR);  // a character node with sddlmab1's numbers
    struct Case {
        const char* device;
        int result;
        const char* parent;  // null: the parent buffer stays untouched
    };
    const Case cases[] = {
        {"/dev/sddlmab", 0, nullptr},  // whole disk
        {"/dev/sddlmac", 0, nullptr},  // whole disk, minor 32
        {"/dev/sdc", 0, nullptr},
        {"/dev/sdc1", 0, nullptr},  // a partition, but not of an HDLM disk
        {"/dev/sddlmab1", 1, "/dev/sddlmab"},
        {"/dev/sddlmab15", 1, "/dev/sddlmab"},
        {"/dev/sddlmab8", 1, "/dev/sddlmab"},  // minor 24: all four low bits count
        {"/dev/sddlmaa10", 1, "/dev/sddlmaa"},
        {"/dev/sddlmac9", 1, "/dev/sddlmac"},  // every digit goes, 9 too
        {"/dev/sd0x", 1, "/dev/sd0x"},         // only trailing digits go
        {"/dev/bsg17", 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        parent = GuardedBuffer();
        EXPECT_EQ(test(c.device, parent.data()), c.result);
        if (c.parent) {
            EXPECT_EQ(parent.text(), c.parent);
        } else {
            EXPECT_TRUE(parent.untouched());
        }
        EXPECT_TRUE(parent.guardsIntact());
        EXPECT_EQ(test(c.device, nullptr), c.result);
        EXPECT_EQ(errorCode, kUntouchedCode);
        EXPECT_TRUE(errorMessage.untouched());
    }
    EXPECT_THAT(host_double::logsWithLabel("HDLM::isPartitionDevice"), IsEmpty());
    EXPECT_THAT(host_double::logsWithLabel("HDLM::getParentDev"), IsEmpty());
}

TEST_F(PartitionDeviceTest, RelativeNamesKeepTheirForm) {
    standardHost();
    node("/dev/sddlmaa3", 253, 3);
    node("/dev/123", 253, 3);
    node("/dev/1", 253, 0);
    node("/dev/7", 253, 7);
    // The working folder may lie under the covered /tmp: come back to it by descriptor.
    const int previous = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(previous, 0);
    ASSERT_EQ(chdir("/dev"), 0);
    struct Case {
        const char* device;
        const char* parent;
        int result;
    };
    for (const Case& c : {Case{"sddlmaa3", "sddlmaa", 0}, Case{"123", "1", 1}, Case{"7", "7", 1}}) {
        SCOPED_TRACE(c.device);
        parent = GuardedBuffer();
        EXPECT_EQ(test(c.device, parent.data()), c.result);
        EXPECT_EQ(parent.text(), c.parent);
    }
    EXPECT_EQ(fchdir(previous), 0);
    close(previous);
}

TEST_F(PartitionDeviceTest, MissingNodesAreReportedThroughTheOutputs) {
    standardHost();
    EXPECT_EQ(test("/dev/nosuch", parent.data()), 0);
    EXPECT_EQ(errorCode, 2);
    EXPECT_EQ(errorMessage.text(), "Stat /dev/nosuch failed:2");
    EXPECT_TRUE(parent.untouched());
    EXPECT_THAT(host_double::logsWithLabel("HDLM::isPartitionDevice"), IsEmpty());

    ASSERT_EQ(unlink("/dev/sddlmab"), 0);
    errorCode = 0;
    EXPECT_EQ(test("/dev/sddlmab1", nullptr), 1);  // no parent asked for, none checked
    EXPECT_EQ(errorCode, 0);
    EXPECT_EQ(test("/dev/sddlmab1", parent.data()), 0);
    EXPECT_EQ(parent.text(), "/dev/sddlmab");
    EXPECT_EQ(errorCode, 2);
    const std::string message = "pdev stat failed /dev/sddlmab1(parent:/dev/sddlmab) :2";
    EXPECT_EQ(errorMessage.text(), message);
    const auto lines = host_double::logsWithLabel("HDLM::isPartitionDevice");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, -1);
    EXPECT_EQ(lines[0].message, message);

    // Null outputs are skipped, not written through.
    EXPECT_EQ(plugin->isPartitionDevice(nullptr, "/dev/sddlmab1", parent.data(), nullptr, nullptr),
              0);
    EXPECT_EQ(plugin->isPartitionDevice(nullptr, "/dev/nosuch", nullptr, nullptr, nullptr), 0);
}

TEST_F(PartitionDeviceTest, LinkNameDecidesTheParent) {
    standardHost();
    ASSERT_EQ(symlink("/dev/sddlmab1", "/dev/part-link"), 0);
    EXPECT_EQ(test("/dev/part-link", parent.data()), 1);
    EXPECT_EQ(parent.text(), "/dev/part-link");
}

TEST_F(PartitionDeviceTest, NothingIsAPartitionBeforeInit) {
    node("/dev/sddlmab", 253, 16);
    node("/dev/sddlmab1", 253, 17);
    EXPECT_EQ(test("/dev/sddlmab1", parent.data()), 0);
    EXPECT_TRUE(parent.untouched());
    EXPECT_EQ(errorCode, kUntouchedCode);
}

TEST_F(PartitionDeviceTest, VerboseShowsTheParentDerivation) {
    standardHost();
    setVerbose(true);
    EXPECT_EQ(test("/dev/sddlmab1", nullptr), 1);
    const auto lines = host_double::logsWithLabel("HDLM::getParentDev");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 0);
    EXPECT_EQ(lines[0].message, "device [/dev/sddlmab1] parent device [/dev/sddlmab]");
}

TEST_F(PartitionDeviceTest, NullDeviceIsRefusedWithEinval) {
    standardHost();
    EXPECT_EQ(test(nullptr, parent.data()), 0);
    EXPECT_EQ(errorCode, EINVAL);
    EXPECT_EQ(errorMessage.text(), "Invalid argument: device is null");
    EXPECT_TRUE(parent.untouched());
    EXPECT_EQ(plugin->isPartitionDevice(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

// A parent path longer than the buffer is cut at 1023 characters and never written past it.
TEST_F(PartitionDeviceTest, LongParentPathStaysInsideTheBuffer) {
    standardHost();
    std::string dir = "/dev";
    while (dir.size() < 1100) {
        dir += "/" + std::string(100, 'd');
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    }
    const std::string device = dir + "/sddlmab1";
    node(device, 253, 17);
    EXPECT_EQ(test(device.c_str(), parent.data()), 0);  // the cut parent does not exist
    EXPECT_EQ(parent.text(), (dir + "/sddlmab").substr(0, 1023));
    EXPECT_EQ(parent.at(1023), '\0');
    EXPECT_TRUE(parent.guardsIntact());
    EXPECT_EQ(errorMessage.at(1023), '\0');
    EXPECT_TRUE(errorMessage.guardsIntact());
}

}  // namespace
