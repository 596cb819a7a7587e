// getPartitionDevices through the real libkpartx.so and libblkid on a disk image written with
// sfdisk. The image is a regular file, device number 0:0, so an init that records major 0
// makes it an HDLM disk without any device node or root.
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "support/plugin_fixture.h"
#include "temp_dir.h"

namespace {

class PartitionTableEndToEndTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        image_ = dir_.file("disk");
        std::ofstream(image_).close();
        ASSERT_EQ(truncate(image_.c_str(), 8 << 20), 0);
        const std::string layout = dir_.write("layout",
                                              "label: dos\nstart=2048, size=4096, type=83\n"
                                              "start=6144, size=2048, type=83\n");
        const std::string sfdisk = "sfdisk --no-reread --no-tell-kernel -q " + image_ + " < " +
                                   layout + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(sfdisk.c_str()), 0)
            << "sfdisk could not write the test image (is the fdisk package installed? run "
               "scripts/bootstrap)";
    }
    testsupport::TempDir dir_{"hdlm-plugin-image"};
    std::string image_;
};

TEST_F(PartitionTableEndToEndTest, ReadsAnMbrImageIntoTheHostsRecords) {
    host_double::useRealPartitionReader();
    initWithMajors("0\n");
    std::vector<TsPartInfo> parts(4);
    int count = 4;
    EXPECT_EQ(plugin->getPartitionDevices(nullptr, image_.c_str(), parts.data(), &count, 0,
                                          &errorCode, errorMessage.data()),
              2);
    EXPECT_EQ(count, 2);
    // An image file is no device: its partitions get numbers after major 0.
    EXPECT_EQ(recordOf(parts[0]), (PartitionRecord{image_ + "1", 1, 2048, 4096, 512, 0, 1}));
    EXPECT_EQ(recordOf(parts[1]), (PartitionRecord{image_ + "2", 2, 6144, 2048, 512, 0, 2}));
    EXPECT_EQ(parts[2].partNum, 0u);
    EXPECT_EQ(errorCode, kUntouchedCode);
    EXPECT_EQ(host_double::partitionReads(), std::vector<std::string>{image_});
}

TEST_F(PartitionTableEndToEndTest, WithoutTheMajorTheImageIsRefused) {
    host_double::useRealPartitionReader();
    initWithMajors("253\n");
    TsPartInfo parts[2];
    int count = 2;
    EXPECT_EQ(plugin->getPartitionDevices(nullptr, image_.c_str(), parts, &count, 0, &errorCode,
                                          errorMessage.data()),
              -1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(errorCode, -1);
    EXPECT_EQ(errorMessage.text(), image_);
    EXPECT_TRUE(host_double::partitionReads().empty());
}

}  // namespace
