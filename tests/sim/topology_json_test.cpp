#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <stdexcept>

#include "dlnkmgr/dlnkmgr_main.h"
#include "sim_fixtures.h"
#include "topology/topology.h"

namespace {

std::string errorOf(const std::string& json) {
    try {
        sim::parseTopology(json);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(parsed)";
}

std::string oneLu(const std::string& luFields, const std::string& top = "") {
    return R"({"storageSystems":[{"lus":[{"ilu":"000001",)" + luFields + "}]}]" + top + "}";
}

const std::string kPath = R"("paths":[{"device":"sdc"}])";

TEST(TopologyJson, DemoLoadsWithEveryFeatureTheDemoNeeds) {
    sim::Topology t = simtest::demoTopology();
    ASSERT_EQ(t.storageSystems.size(), 2u);
    int lus = 0, offlineE = 0, later = 0, gone = 0, dos = 0, gpt = 0, bare = 0;
    for (const auto& ss : t.storageSystems)
        for (const auto& lu : ss.lus) {
            ++lus;
            EXPECT_GE(lu.paths.size(), 2u);
            EXPECT_LE(lu.paths.size(), 4u);
            if (!lu.table)
                ++bare;
            else if (lu.table->label == "dos")
                ++dos;
            else
                ++gpt;
            for (const auto& p : lu.paths) {
                offlineE += p.status == "Offline(E)";
                later += p.state == sim::PathState::AttachedLater;
                gone += p.state == sim::PathState::Gone;
            }
        }
    EXPECT_GE(lus, 4);
    EXPECT_GE(offlineE, 1);
    EXPECT_GE(later, 1);
    EXPECT_GE(gone, 1);
    EXPECT_GE(dos, 1);
    EXPECT_GE(gpt, 1);
    EXPECT_GE(bare, 1);
}

TEST(TopologyJson, ErrorsNameTheOffendingField) {
    struct Case {
        std::string json;
        std::string expected;
    };
    const Case cases[] = {
        {"{", "not valid JSON"},
        {"{}", "storageSystems: missing or empty"},
        {R"({"storageSystems":[{"lus":[]}], "bogus":1})", "bogus: unknown field"},
        {oneLu(R"("paths":[])"), "storageSystems[0].lus[0].paths: an LU needs at least one path"},
        {oneLu(R"("paths":[{"device":"hda"}])"),
         "storageSystems[0].lus[0].paths[0].device: 'hda' is not a SCSI disk name"},
        {oneLu(R"("paths":[{"device":"sdc","status":"Up"}])"),
         "storageSystems[0].lus[0].paths[0].status: 'Up'"},
        {oneLu(R"("paths":[{"device":"sdc","state":"lost"}])"),
         "paths[0].state: must be managed, attachedLater, gone or removed"},
        {oneLu(R"("paths":[{"device":"sdc","hctl":"1:2"}])"),
         "paths[0].hctl: expected host:channel:target:lun"},
        {oneLu(R"("paths":[{"device":"sdc"},{"device":"sdc"}])"),
         "paths[1].device: 'sdc' used twice"},
        {oneLu(R"("hdev":"sddlmzz",)" + kPath), "lus[0].hdev: 'sddlmzz' is not an HDLM name"},
        {R"({"storageSystems":[{"lus":[{"ilu":"1",)" + kPath + "}]}]}",
         "lus[0].ilu: '1' is not 6 upper-case hex digits"},
        {oneLu(R"("sizeMiB":"big",)" + kPath), "lus[0].sizeMiB: expected a non-negative integer"},
        {oneLu(R"("partitionTable":{"label":"bsd"},)" + kPath),
         "partitionTable.label: must be dos or gpt"},
        {oneLu(
             R"("partitionTable":{"label":"dos","partitions":[{"number":5,"kind":"primary","start":2048,"size":10}]},)" +
             kPath),
         "partitions[0].number: primary and extended partitions are 1-4"},
        {oneLu(
             R"("partitionTable":{"label":"dos","partitions":[{"number":5,"kind":"logical","start":2048,"size":10}]},)" +
             kPath),
         "partitions[0]: a logical partition needs an extended partition"},
        {oneLu(
             R"("partitionTable":{"label":"dos","partitions":[{"number":1,"start":2048,"size":4096},{"number":2,"start":4000,"size":10}]},)" +
             kPath),
         "partitions[1]: overlaps partition 1"},
        {oneLu(
             R"("sizeMiB":1,"partitionTable":{"label":"gpt","partitions":[{"number":1,"start":2048,"size":4096}]},)" +
             kPath),
         "partitions[0]: ends at sector 6144, past the disk's 2048"},
        {oneLu(
             R"("partitionTable":{"label":"gpt","partitions":[{"number":129,"start":2048,"size":1}]},)" +
             kPath),
         "partitions[0].number: out of range: 129"},
        {oneLu(kPath, R"(,"dlnkmgr":{"itemTrailingColumns":13})"),
         "dlnkmgr.itemTrailingColumns: out of range: 13"},
        {oneLu(kPath, R"(,"dlnkmgr":{"messages":"syslog"})"),
         "dlnkmgr.messages: must be stdout or stderr"},
        {oneLu(kPath, R"(,"dlnkmgr":{"faults":{"view -path":{"status":1}}})"),
         "dlnkmgr.faults[\"view -path\"]: unknown operation"},
        {oneLu(kPath, R"(,"dlnkmgr":{"faults":{"view -lu":{"hang":"yes"}}})"),
         "dlnkmgr.faults[\"view -lu\"].hang: expected true or false"},
        {oneLu(kPath, R"(,"dlnkmgr":{"faults":{"view -lu":{"message":"KAPL01039-W a\nb"}}})"),
         "dlnkmgr.faults[\"view -lu\"].message: one line"},
        {oneLu(kPath, R"(,"dlnkmgr":{"faults":{"view -lu":{"message":["KAPL01039-W"]}}})"),
         "dlnkmgr.faults[\"view -lu\"].message: expected a string"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_NE(errorOf(c.json).find(c.expected), std::string::npos) << errorOf(c.json);
    }
}

// The fault operations are one list: the reader accepts each (NAME as any one word), refuses
// what is not on it, names the whole list in its refusal, and the manual names the same list.
TEST(TopologyJson, FaultOperationsAreOneList) {
    std::string named;
    for (const std::string& operation : sim::faultOperations()) {
        SCOPED_TRACE(operation);
        std::string key = operation;
        if (const size_t name = key.find(" NAME"); name != std::string::npos)
            key.replace(name, 5, " sddlmab");
        EXPECT_TRUE(sim::isFaultOperation(key));
        named += (named.empty() ? "`" : ", `") + operation + "`";
    }
    for (const char* key : {"view -lu -item -hdev ", "view -lu -item -hdev a b", "view -path",
                            "add -path", "view -lu -hdev sddlmab"})
        EXPECT_FALSE(sim::isFaultOperation(key)) << key;
    std::ifstream in(SIM_README);
    std::stringstream manual;
    manual << in.rdbuf();
    std::string text = manual.str();
    for (char& c : text)
        if (c == '\n') c = ' ';
    EXPECT_NE(text.find("maps an operation — " + named + " —"), std::string::npos)
        << SIM_README << " does not list the fault operations as the reader knows them: " << named;
}

TEST(TopologyJson, TooManyLusForHdlmNaming) {
    std::string lus;
    for (int i = 0; i < 513; ++i) {
        char buf[96];
        snprintf(buf, sizeof buf, R"(%s{"ilu":"%06X","paths":[{"device":"sd%c%c%c"}]})",
                 i ? "," : "", i, 'a' + i / 676, 'a' + i / 26 % 26, 'a' + i % 26);
        lus += buf;
    }
    EXPECT_NE(errorOf(R"({"storageSystems":[{"lus":[)" + lus + "]}]}").find("at most 512"),
              std::string::npos);
}

TEST(TopologyJson, RoundTripKeepsEverything) {
    sim::Topology t = simtest::demoTopology();
    t.dlnkmgr.faults["view -lu"] =
        sim::Fault{3, std::string("garbage\n"), std::string("oops\n"), 10, false, 2, 1};
    t.dlnkmgr.faults["offline -path"].message = "KAPL01039-W The path /dev/sdf was placed offline.";
    std::string once = sim::toJson(t);
    EXPECT_EQ(sim::toJson(sim::parseTopology(once)), once);
}

}  // namespace
