// List calls: the retry with a bigger array on a positive result, --capacity, the count rules.
#include <gtest/gtest.h>

#include "probe_sandbox.h"

namespace probe_test {
namespace {

using nlohmann::json;

std::vector<std::string> names(const char* prefix, int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

json partitionList(int n) {
    json list = json::array();
    for (int i = 1; i <= n; ++i) {
        list.push_back(
            {{"number", i}, {"start", 2048 * i}, {"sectors", 1024}, {"major", 253}, {"minor", i}});
    }
    return list;
}

struct ListCase {
    const char* name;
    std::vector<std::string> args;                 // after --json
    int devices;                                   // getMPIODevices items
    int paths;                                     // getUnderlyingDevices items of /dev/sddlmaa
    int partitions;                                // getPartitionDevices entries of /dev/sddlmaa
    std::string key;                               // the document's key for the command
    std::vector<std::vector<long long>> attempts;  // capacity, result, count
    size_t shown;                                  // entries the probe read back
    bool complete;
    std::vector<std::string> callLog;  // after init
};

std::ostream& operator<<(std::ostream& out, const ListCase& c) {
    return out << c.name;
}

class ProbeList : public testing::TestWithParam<ListCase> {};

TEST_P(ProbeList, RetriesOnceUnlessTheCapacityIsFixed) {
    const ListCase& c = GetParam();
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario["devices"]["items"] = names("sddlm", c.devices);
    scenario["underlying"]["/dev/sddlmaa"]["items"] = names("sd", c.paths);
    scenario["partitions"]["/dev/sddlmaa"]["list"] = partitionList(c.partitions);
    sandbox.writeScenario(scenario);

    // A list the probe could not show in full is no failure of the plug-in: exit 0.
    json doc = sandbox.runJson(c.args, 0);
    const json& body = doc.at(c.key);
    ASSERT_EQ(body.at("attempts").size(), c.attempts.size()) << body.dump(1);
    for (size_t i = 0; i < c.attempts.size(); ++i) {
        const json& a = body["attempts"][i];
        EXPECT_EQ(a.at("capacity"), c.attempts[i][0]) << "attempt " << i;
        EXPECT_EQ(a.at("result"), c.attempts[i][1]) << "attempt " << i;
        EXPECT_EQ(a.at("count"), c.attempts[i][2]) << "attempt " << i;
    }
    EXPECT_EQ(body.at("result"), c.attempts.back()[1]) << "the last call's result";
    const json& entries = body.contains("items") ? body["items"] : body.at("partitions");
    EXPECT_EQ(entries.size(), c.shown);
    EXPECT_EQ(body.at("complete"), c.complete);
    EXPECT_EQ(body.contains("note"), !c.complete);

    std::vector<std::string> calls = sandbox.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "init");
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 1, calls.end()), c.callLog);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Capacities, ProbeList,
    testing::Values(
        //       name, args, devices, paths, partitions, key, attempts {capacity, result, count},
        //       entries shown, complete, calls after init
        // getMPIODevices counts the empty segment after the last newline: one more than devices.
        ListCase{"devices_fit", {"devices"}, 2, 2, 2, "devices",
                 {{64, 0, 2}}, 2, true, {"getMPIODevices capacity=64"}},
        ListCase{"devices_retry_past_default", {"devices"}, 70, 2, 2, "devices",
                 {{64, 71, 64}, {71, 0, 70}}, 70, true,
                 {"getMPIODevices capacity=64", "getMPIODevices capacity=71"}},
        ListCase{"devices_as_many_as_fixed_capacity", {"--capacity", "2", "devices"}, 2, 2, 2,
                 "devices", {{2, 3, 2}}, 2, false, {"getMPIODevices capacity=2"}},
        ListCase{"devices_fixed_capacity_cuts", {"--capacity", "1", "devices"}, 5, 2, 2, "devices",
                 {{1, 6, 1}}, 1, false, {"getMPIODevices capacity=1"}},
        ListCase{"devices_capacity_zero", {"--capacity", "0", "devices"}, 2, 2, 2, "devices",
                 {{0, 3, 0}}, 0, false, {"getMPIODevices capacity=0"}},
        ListCase{"paths_retry", {"underlying", "/dev/sddlmaa"}, 2, 100, 2, "underlying",
                 {{64, 100, 64}, {100, 0, 100}}, 100, true,
                 {"getUnderlyingDevices /dev/sddlmaa capacity=64",
                  "getUnderlyingDevices /dev/sddlmaa capacity=100"}},
        ListCase{"paths_fixed_capacity", {"underlying", "/dev/sddlmaa", "--capacity", "2"}, 2, 5, 2,
                 "underlying", {{2, 5, 2}}, 2, false,
                 {"getUnderlyingDevices /dev/sddlmaa capacity=2"}},
        ListCase{"paths_beyond_the_probe_limit_not_retried", {"underlying", "/dev/sddlmaa"}, 2,
                 16385, 2, "underlying", {{64, 16385, 64}}, 64, false,
                 {"getUnderlyingDevices /dev/sddlmaa capacity=64"}},
        // getPartitionDevices: *count is the number found, more than the array may hold.
        ListCase{"partitions_fit", {"partitions", "/dev/sddlmaa"}, 2, 2, 5, "partitions",
                 {{64, 5, 5}}, 5, true, {"getPartitionDevices /dev/sddlmaa capacity=64"}},
        ListCase{"partitions_fixed_capacity", {"partitions", "/dev/sddlmaa", "--capacity", "3"},
                 2, 2, 5, "partitions", {{3, 5, 5}}, 3, false,
                 {"getPartitionDevices /dev/sddlmaa capacity=3"}},
        ListCase{"partitions_retry", {"partitions", "/dev/sddlmaa"}, 2, 2, 70, "partitions",
                 {{64, 70, 70}, {70, 70, 70}}, 70, true,
                 {"getPartitionDevices /dev/sddlmaa capacity=64",
                  "getPartitionDevices /dev/sddlmaa capacity=70"}},
        ListCase{"partitions_none", {"partitions", "/dev/sddlmaa"}, 2, 2, 0, "partitions",
                 {{64, 0, 0}}, 0, true, {"getPartitionDevices /dev/sddlmaa capacity=64"}}),
    [](const testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });
// clang-format on

// The entries read back are the plug-in's, in its order, whole.
TEST(ProbeList, RetriedListHoldsEveryEntryInOrder) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario["devices"]["items"] = names("sddlm", 70);
    scenario["partitions"]["/dev/sddlmaa"]["list"] = partitionList(15);
    sandbox.writeScenario(scenario);

    json devices = sandbox.runJson({"devices"}).at("devices").at("items");
    ASSERT_EQ(devices.size(), 70u);
    for (int i = 0; i < 70; ++i) EXPECT_EQ(devices[i], "/dev/sddlm" + std::to_string(i));

    json parts = sandbox.runJson({"--capacity", "4", "partitions", "/dev/sddlmaa"})
                     .at("partitions")
                     .at("partitions");
    ASSERT_EQ(parts.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(parts[i].at("name"), "/dev/sddlmaa" + std::to_string(i + 1));
        EXPECT_EQ(parts[i].at("number"), i + 1);
        EXPECT_EQ(parts[i].at("start"), 2048 * (i + 1));
        EXPECT_EQ(parts[i].at("minor"), i + 1);
    }
}

// The text says what happened to the array: a retry, or why the list stays short.
TEST(ProbeList, TextTellsTheRetryAndTheCut) {
    ProbeSandbox sandbox;
    json scenario = twoDiskScenario();
    scenario["devices"]["items"] = names("sddlm", 70);
    sandbox.writeScenario(scenario);

    ProbeRun retried = sandbox.run({"devices"});
    EXPECT_EQ(retried.status, 0);
    EXPECT_NE(retried.out.find("getMPIODevices(capacity=64)  = 71  count=64, more entries than the "
                               "array held: retrying with capacity 71\n"
                               "getMPIODevices(capacity=71)  = 0  count=70\n"),
              std::string::npos)
        << retried.out;
    EXPECT_EQ(lines(retried.out).size(), 1u + 1u + 2u + 70u);

    ProbeRun cut = sandbox.run({"devices", "--capacity", "3"});
    EXPECT_EQ(cut.status, 0);
    EXPECT_NE(cut.out.find("= 71  count=3, INCOMPLETE: the capacity is fixed by --capacity"),
              std::string::npos)
        << cut.out;
}

}  // namespace
}  // namespace probe_test
