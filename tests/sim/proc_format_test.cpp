#include <gtest/gtest.h>

#include "sim_fixtures.h"
#include "topology/numbering.h"
#include "topology/proc_format.h"

namespace {

TEST(ProcText, PartitionsLinesAreTheKernelsColumns) {
    std::string text = sim::renderPartitions({{8, 32, 262144, "sdc"},
                                              {251, 17, 20480, "sddlmab1"},
                                              {259, 1048575, 12345678901ull, "nvme0n1p1"}});
    EXPECT_EQ(text,
              "major minor  #blocks  name\n\n"
              "   8       32     262144 sdc\n"
              " 251       17      20480 sddlmab1\n"
              " 259  1048575 12345678901 nvme0n1p1\n");
    auto back = sim::parsePartitions(text);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].minor, 1048575u);
    EXPECT_EQ(back[2].kib, 12345678901ull);
    EXPECT_EQ(back[1].name, "sddlmab1");
}

TEST(ProcText, DevicesKeepBothSectionsAndSortByMajor) {
    sim::DevicesTable t = sim::parseDevices(simtest::kMachineDevices);
    ASSERT_EQ(t.character.size(), 4u);
    ASSERT_EQ(t.block.size(), 4u);
    EXPECT_EQ(sim::renderDevices(t), simtest::kMachineDevices);
    sim::insertDevice(t.block, {251, "sddlmfdrv"});
    sim::insertDevice(t.block, {7, "sddlmfdrv"});
    EXPECT_EQ(sim::renderDevices(t).substr(sim::renderDevices(t).find("Block")),
              "Block devices:\n  7 loop\n  7 sddlmfdrv\n251 sddlmfdrv\n253 device-mapper\n254 "
              "virtblk\n259 blkext\n");
}

TEST(ProcText, FreeMajorsAvoidBothSections) {
    std::vector<unsigned> m = sim::freeMajors(sim::parseDevices(simtest::kMachineDevices), 3);
    EXPECT_EQ(m, (std::vector<unsigned>{251, 250, 249}));
}

// The plug-in's own pipelines over the generated files.
TEST(ProcText, PluginPipelinesFindHdlmDisksPartitionsAndMajors) {
    simtest::TempDir dir;
    std::string env = simtest::prepareSimulatedHost(dir, simtest::demoTopology());
    auto parts = simtest::sh("cat " + dir.path() +
                             "/partitions | grep \"sddlm\" | awk '{print $1\" \"$2\" \"$4}'");
    EXPECT_EQ(parts.status, 0);
    EXPECT_EQ(parts.out,
              "251 0 sddlmaa\n251 1 sddlmaa1\n251 2 sddlmaa2\n251 3 sddlmaa3\n251 5 sddlmaa5\n251 "
              "6 sddlmaa6\n"
              "251 7 sddlmaa7\n251 16 sddlmab\n251 17 sddlmab1\n251 18 sddlmab2\n251 20 sddlmab4\n"
              "251 32 sddlmac\n251 48 sddlmad\n251 49 sddlmad1\n");
    auto majors =
        simtest::sh("cat " + dir.path() + "/devices | grep 'sddlmfdrv' | awk '{print $1}'");
    EXPECT_EQ(majors.out, "251\n");
    auto alert = simtest::sh("grep -c sddlmadrv " + dir.path() + "/devices");
    EXPECT_EQ(alert.out, "1\n");
    // The machine's own lines stay, the SCSI paths are listed under their own majors, an
    // extended partition shows 1 KiB, a gone path's disk is absent.
    std::string text = sim::readTextFile(dir.path() + "/partitions");
    EXPECT_NE(text.find(" 254        0  268435456 vda\n"), std::string::npos);
    EXPECT_NE(text.find("   8       32     262144 sdc\n"), std::string::npos);
    EXPECT_NE(text.find("   8       35          1 sdc3\n"), std::string::npos);
    EXPECT_NE(text.find(" 251        3          1 sddlmaa3\n"), std::string::npos);
    EXPECT_NE(text.find("sdl\n"), std::string::npos);  // attached later: the OS has it already
    EXPECT_EQ(text.find("sdj"), std::string::npos);
}

TEST(ProcText, ThreeLetterNamesShareTheirLettersMajor) {
    sim::Topology t = simtest::demoTopology();
    t.storageSystems[0].lus[0].hdev = "sddlmaab";
    simtest::TempDir dir;
    simtest::prepareSimulatedHost(dir, t);
    auto parts = simtest::sh("cat " + dir.path() +
                             "/partitions | grep \"sddlmaab\" | awk '{print $1\" \"$2\" \"$4}'");
    EXPECT_EQ(parts.out.substr(0, parts.out.find('\n')), "251 272 sddlmaab");
}

TEST(ProcText, OptionalCharacterDriverLine) {
    sim::Topology t = simtest::demoTopology();
    t.proc.charDeviceSddlmfdrv = true;
    t.proc.alertDriver = false;
    simtest::TempDir dir;
    simtest::prepareSimulatedHost(dir, t);
    std::string text = sim::readTextFile(dir.path() + "/devices");
    sim::DevicesTable table = sim::parseDevices(text);
    int chars = 0;
    for (const auto& d : table.character) chars += d.name == "sddlmfdrv";
    EXPECT_EQ(chars, 1);
    EXPECT_EQ(text.find("sddlmadrv"), std::string::npos);
    // The plug-in's pipeline now sees both lines: the block major and the character one.
    EXPECT_EQ(simtest::sh("grep 'sddlmfdrv' " + dir.path() + "/devices | wc -l").out, "2\n");
}

}  // namespace
