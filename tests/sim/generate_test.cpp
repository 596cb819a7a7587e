#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "hdlm_commands.h"
#include "sim_fixtures.h"
#include "topology/device_names.h"
#include "topology_writers/generate.h"

namespace {

TEST(Generate, FiveHundredTwelveLusAreAllListed) {
    sim::GenerateOptions o;
    o.lus = 512;
    o.paths = 2;
    o.partitions = 3;
    o.storageSystems = 3;
    sim::Topology t = sim::parseTopology(sim::toJson(sim::generateTopology(o)));
    simtest::TempDir dir;
    std::string env = simtest::prepareSimulatedHost(dir, t);
    auto names = simtest::sh("dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}';", env);
    ASSERT_EQ(names.status, 0);
    std::set<std::string> seen;
    size_t lines = 0;
    for (size_t pos = 0, nl; (nl = names.out.find('\n', pos)) != std::string::npos;
         pos = nl + 1, ++lines)
        seen.insert(names.out.substr(pos, nl - pos));
    EXPECT_EQ(lines, 512u);
    EXPECT_EQ(seen.size(), 512u);
    EXPECT_TRUE(seen.count("sddlmaa") && seen.count("sddlmpp") && seen.count("sddlmaaa") &&
                seen.count("sddlmpap"));
    auto disks =
        simtest::sh("cat " + dir.path() +
                    "/partitions | grep \"sddlm\" | awk '{print $1\" \"$2\" \"$4}' | wc -l");
    EXPECT_EQ(disks.out, "2048\n");  // 512 disks with 3 partitions each
    auto majors =
        simtest::sh("cat " + dir.path() + "/devices | grep 'sddlmfdrv' | awk '{print $1}' | wc -l");
    EXPECT_EQ(majors.out, "16\n");  // one major per first letter
    auto paths =
        simtest::sh("dlnkmgr view -lu -item -hdev sddlmpap | " + hdlm_commands::item_filter, env);
    EXPECT_EQ(paths.out, "/dev/sdamk\n/dev/sdaml\n");
}

TEST(Generate, RefusesWhatHdlmCannotName) {
    sim::GenerateOptions o;
    o.lus = 513;
    EXPECT_THROW(sim::generateTopology(o), std::invalid_argument);
    o.lus = 4;
    o.partitions = 16;
    EXPECT_THROW(sim::generateTopology(o), std::invalid_argument);
    o.partitions = 6;
    o.label = "dos";
    EXPECT_THROW(sim::generateTopology(o), std::invalid_argument);
}

TEST(Generate, GptBeyondFourPartitionsAndTablesFitTheDisk) {
    sim::GenerateOptions o;
    o.lus = 2;
    o.partitions = 15;
    sim::Topology t = sim::generateTopology(o);
    ASSERT_TRUE(t.storageSystems[0].lus[0].table);
    EXPECT_EQ(t.storageSystems[0].lus[0].table->label, "gpt");
    EXPECT_NO_THROW(sim::parseTopology(sim::toJson(t)));  // validation: inside the disk, no overlap
}

}  // namespace
