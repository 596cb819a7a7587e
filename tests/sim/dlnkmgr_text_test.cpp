#include <gtest/gtest.h>

#include "dlnkmgr/dlnkmgr_text.h"
#include "hdlm_commands.h"
#include "sim_fixtures.h"
#include "topology/numbering.h"

namespace {

sim::Topology preparedDemo() {
    sim::Topology t = simtest::demoTopology();
    sim::prepareState(t, simtest::kMachinePartitions, simtest::kMachineDevices);
    return t;
}

std::string pipe(const simtest::TempDir& dir, const std::string& text,
                 const std::string& pipeline) {
    std::string f = dir.write("view.txt", text);
    return simtest::sh("cat " + f + " | " + pipeline).out;
}

TEST(DlnkmgrText, LuViewLaysOutBlocksAndContinuationLines) {
    EXPECT_EQ(sim::renderLuView(preparedDemo()),
              "Product       : VSP_G900\n"
              "SerialNumber  : 415678\n"
              "LUs           : 3\n"
              "\n"
              "iLU    HDevName Device   PathID Status\n"
              "001A00 sddlmaa  /dev/sdc 000000 Online\n"
              "                /dev/sdg 000001 Online\n"
              "001A01 sddlmab  /dev/sdd 000002 Online\n"
              "                /dev/sdh 000003 Offline(E)\n"
              "001A02 sddlmac  /dev/sde 000004 Online\n"
              "                /dev/sdi 000005 Online\n"
              "\n"
              "Product       : HUS_VM\n"
              "SerialNumber  : 210944\n"
              "LUs           : 1\n"
              "\n"
              "iLU  HDevName Device   PathID Status\n"
              "0010 sddlmad  /dev/sdf 000006 Online\n"
              "              -        000007 Offline(E)\n"
              "              /dev/sdm 000008 Online\n"
              "              /dev/sdn 000009 Online\n");
}

TEST(DlnkmgrText, ListingPipelinePrintsEachHdevOnce) {
    simtest::TempDir dir;
    EXPECT_EQ(pipe(dir, sim::renderLuView(preparedDemo()), "grep 'sddlm' | awk '{print $2}'"),
              "sddlmaa\nsddlmab\nsddlmac\nsddlmad\n");
}

TEST(DlnkmgrText, ItemViewPipelineYieldsDeviceColumnOnlyWithElevenTrailingColumns) {
    struct Case {
        int trailing;
        std::string hdev;
        std::string expected;
    };
    const Case cases[] = {
        {11, "sddlmab", "/dev/sdd\n/dev/sdh\n"},
        {11, "sddlmad", "/dev/sdf\n/dev/sdm\n/dev/sdn\n"},  // the gone path shows "-": no "sd"
        {11, "sddlmaa", "/dev/sdc\n/dev/sdg\n"},
        {12, "sddlmab", "000002\n000003\n"},  // one column more: PathID
    };
    simtest::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.trailing) + " " + c.hdev);
        sim::Topology t = preparedDemo();
        t.dlnkmgr.itemTrailingColumns = c.trailing;
        auto text = sim::renderLuItemView(t, c.hdev);
        ASSERT_TRUE(text);
        EXPECT_EQ(pipe(dir, *text, hdlm_commands::item_filter), c.expected);
    }
    // One column fewer: the first line yields the HDevName, and the continuation line, with
    // only 11 fields, is too short to hold Device and passed over.
    sim::Topology t = preparedDemo();
    t.dlnkmgr.itemTrailingColumns = 10;
    EXPECT_EQ(
        pipe(dir, *sim::renderLuItemView(t, std::string("sddlmab")), hdlm_commands::item_filter),
        "sddlmab\n");
}

TEST(DlnkmgrText, ItemViewFieldCounts) {
    sim::Topology t = preparedDemo();
    simtest::TempDir dir;
    std::string counts =
        pipe(dir, *sim::renderLuItemView(t, std::string("sddlmad")), "awk 'NR>4 && NF {print NF}'");
    // header line has 15 words, the LU's first line 15 fields, continuation lines 12.
    EXPECT_EQ(counts, "15\n15\n12\n12\n12\n");
    EXPECT_FALSE(sim::renderLuItemView(t, std::string("sddlmzz")));
    EXPECT_FALSE(sim::renderLuItemView(t, std::string("/dev/sddlmaa")));
    EXPECT_FALSE(sim::renderLuItemView(t, std::string("sddlmaa1")));
}

TEST(DlnkmgrText, GoneDeviceByNameWhenAsked) {
    sim::Topology t = preparedDemo();
    t.dlnkmgr.goneDeviceAsDash = false;
    simtest::TempDir dir;
    EXPECT_EQ(
        pipe(dir, *sim::renderLuItemView(t, std::string("sddlmad")), hdlm_commands::item_filter),
        "/dev/sdf\n/dev/sdj\n/dev/sdm\n/dev/sdn\n");
}

TEST(DlnkmgrText, ManagerViewAndCompletionLine) {
    sim::DlnkmgrOptions o;
    EXPECT_EQ(sim::renderManagerView(o, "2026/11/30 09:01:12"),
              "HDLM Manager Ver       WakeupTime\n"
              "Alive        8.8.3-00  2026/11/30 09:01:12\n");
    EXPECT_EQ(
        sim::completionLine("view", "2026/12/08 10:15:42"),
        "KAPL01001-I The HDLM command completed normally. Operation name = view, completion time = "
        "2026/12/08 10:15:42\n");
    std::string ts = sim::hdlmTimestamp();
    ASSERT_EQ(ts.size(), 19u);
    EXPECT_EQ(ts[4], '/');
    EXPECT_EQ(ts[10], ' ');
}

// A message line goes after the first path line of the first table only, else after the first
// line, and is the only line of an empty output.
TEST(DlnkmgrText, MessageLineStandsAfterTheFirstPathLine) {
    const std::string m = "KAPL01039-W The path /dev/sdf was placed offline.";
    struct Case {
        std::string output;
        std::string awkFirstWords;  // awk '{print $1}' of the result
    } cases[] = {
        {sim::renderLuView(preparedDemo()),
         "Product\nSerialNumber\nLUs\n\niLU\n001A00\nKAPL01039-W\n/dev/sdg\n001A01\n/dev/sdh\n"
         "001A02\n/dev/sdi\n\nProduct\nSerialNumber\nLUs\n\niLU\n0010\n-\n/dev/sdm\n/dev/sdn\n"},
        {sim::renderManagerView(sim::DlnkmgrOptions{}, "2026/11/30 09:01:12"),
         "HDLM\nKAPL01039-W\nAlive\n"},
        {"", "KAPL01039-W\n"},
    };
    simtest::TempDir dir;
    for (const Case& c : cases)
        EXPECT_EQ(pipe(dir, sim::withMessageLine(c.output, m), "awk '{print $1}'"), c.awkFirstWords)
            << c.output;
}

}  // namespace
