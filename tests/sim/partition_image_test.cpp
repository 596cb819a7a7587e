// Images written through libfdisk, read back with sfdisk: exactly the topology's tables.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "sandbox/partition_image.h"
#include "sim_fixtures.h"

namespace {

TEST(PartitionImage, DemoTablesReadBackExactly) {
    sim::Topology demo = simtest::demoTopology();
    simtest::TempDir dir;
    int tables = 0;
    for (const auto& ss : demo.storageSystems)
        for (const auto& lu : ss.lus) {
            if (!lu.table) continue;
            ++tables;
            SCOPED_TRACE(lu.ilu);
            std::string image = dir.path() + "/" + lu.ilu + ".img";
            sim::writePartitionImage(image, lu.sizeMiB << 20, *lu.table);
            auto r = simtest::sh("sfdisk --json " + image);
            ASSERT_EQ(r.status, 0) << r.err;
            auto table = nlohmann::json::parse(r.out)["partitiontable"];
            EXPECT_EQ(table["label"], lu.table->label);
            ASSERT_EQ(table["partitions"].size(), lu.table->partitions.size());
            for (size_t i = 0; i < lu.table->partitions.size(); ++i) {
                const sim::Partition& p = lu.table->partitions[i];
                auto jp = table["partitions"][i];
                std::string node = jp["node"];
                EXPECT_EQ(node, image + std::to_string(p.number));
                EXPECT_EQ(jp["start"].get<uint64_t>(), p.start);
                EXPECT_EQ(jp["size"].get<uint64_t>(), p.size);
                std::string type = jp["type"];
                if (lu.table->label == "dos") {
                    EXPECT_EQ(type, p.type.empty() ? "83" : p.type);
                } else {
                    EXPECT_EQ(type, "0FC63DAF-8483-4772-8E79-3D69D8477DE4");
                }
            }
            struct stat st;
            ASSERT_EQ(stat(image.c_str(), &st), 0);
            EXPECT_EQ(uint64_t(st.st_size), lu.sizeMiB << 20);
            EXPECT_LT(uint64_t(st.st_blocks) * 512, uint64_t(1) << 20);  // sparse: only the tables
        }
    EXPECT_EQ(tables, 3);
}

TEST(PartitionImage, BlankImageHasNoTable) {
    simtest::TempDir dir;
    std::string image = dir.path() + "/blank.img";
    sim::writeBlankImage(image, 8 << 20);
    auto r = simtest::sh("sfdisk --json " + image);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("does not contain a recognized partition table"), std::string::npos)
        << r.err;
}

TEST(PartitionImage, LibfdiskRefusalsSayWhichStep) {
    simtest::TempDir dir;
    sim::PartitionTable logicalAlone{"dos", {{5, "logical", 2048, 2048, ""}}};
    try {
        sim::writePartitionImage(dir.path() + "/bad.img", 8 << 20, logicalAlone);
        ADD_FAILURE() << "a logical partition without an extended one was written";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("partition 5"), std::string::npos) << e.what();
    }
    sim::PartitionTable badType{"gpt", {{1, "", 2048, 2048, "not-a-guid"}}};
    EXPECT_THROW(sim::writePartitionImage(dir.path() + "/bad2.img", 8 << 20, badType),
                 std::runtime_error);
    EXPECT_THROW(sim::writeBlankImage(dir.path() + "/no/such/dir.img", 1 << 20),
                 std::runtime_error);
}

}  // namespace
