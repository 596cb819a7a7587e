#include <gtest/gtest.h>

#include <set>

#include "topology/device_names.h"

namespace {

struct NameCase {
    int index;
    const char* name;
    int letter;
    unsigned minor;
};

TEST(HdlmNaming, NamesLettersAndMinorsFollowHdlmScheme) {
    const NameCase cases[] = {
        {0, "sddlmaa", 0, 0},       {1, "sddlmab", 0, 16},     {15, "sddlmap", 0, 240},
        {16, "sddlmba", 1, 0},      {255, "sddlmpp", 15, 240}, {256, "sddlmaaa", 0, 256},
        {257, "sddlmaab", 0, 272},  {271, "sddlmaap", 0, 496}, {272, "sddlmbaa", 1, 256},
        {511, "sddlmpap", 15, 496},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sim::hdevName(c.index), c.name);
        EXPECT_EQ(sim::hdevIndex(c.name), c.index);
        EXPECT_EQ(sim::hdevLetter(c.index), c.letter);
        EXPECT_EQ(sim::hdevDiskMinor(c.index), c.minor);
    }
}

TEST(HdlmNaming, RejectsWhatHdlmNeverNames) {
    for (const char* bad : {"sddlm", "sddlma", "sddlmqa", "sddlmaq", "sddlmaba", "sddlmaa1",
                            "sddlmaaaa", "sdc", "dlmaa"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(sim::hdevIndex(bad), -1);
    }
    EXPECT_EQ(sim::hdevName(-1), "");
    EXPECT_EQ(sim::hdevName(512), "");
}

// All 512 names: distinct, and no two disks share a (major letter, minor) or any partition minor.
TEST(HdlmNaming, AllFiveHundredTwelveDisksGetDistinctNumbers) {
    std::set<std::string> names;
    std::set<std::pair<int, unsigned>> minors;
    for (int i = 0; i < sim::kMaxHdlmDevices; ++i) {
        std::string n = sim::hdevName(i);
        ASSERT_EQ(sim::hdevIndex(n), i) << n;
        EXPECT_TRUE(names.insert(n).second) << n;
        unsigned disk = sim::hdevDiskMinor(i);
        EXPECT_EQ(disk % 16, 0u) << n;
        for (unsigned p = 0; p < 16; ++p)
            EXPECT_TRUE(minors.insert({sim::hdevLetter(i), disk + p}).second) << n;
    }
}

struct ScsiCase {
    const char* name;
    int index;
    unsigned major, minor;
};

TEST(ScsiNaming, KernelNumbering) {
    const ScsiCase cases[] = {
        {"sda", 0, 8, 0},       {"sdc", 2, 8, 32},       {"sdp", 15, 8, 240},
        {"sdq", 16, 65, 0},     {"sdz", 25, 65, 144},    {"sdaa", 26, 65, 160},
        {"sddx", 127, 71, 240}, {"sddy", 128, 128, 0},   {"sdiv", 255, 135, 240},
        {"sdiw", 256, 8, 256},  {"sdzz", 701, 131, 720}, {"sdaaa", 702, 131, 736},
    };
    for (const ScsiCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sim::scsiIndex(c.name), c.index);
        EXPECT_EQ(sim::scsiName(c.index), c.name);
        sim::DevNum d = sim::scsiDevNum(c.index);
        EXPECT_EQ(d.major, c.major);
        EXPECT_EQ(d.minor, c.minor);
    }
    for (const char* bad : {"sd", "sdA", "sd1", "hda", "sda1"})
        EXPECT_EQ(sim::scsiIndex(bad), -1) << bad;
}

}  // namespace
