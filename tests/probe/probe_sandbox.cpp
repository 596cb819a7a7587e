#include "probe_sandbox.h"

#include <gtest/gtest.h>
#include <fstream>
#include <sstream>

namespace probe_test {

const std::string ProbeSandbox::kProbeBinary = MPIO_PROBE_BINARY;
const std::string ProbeSandbox::kFakePlugin = FAKE_MPIO_PLUGIN;
const std::string ProbeSandbox::kFakePluginWithoutRefresh = FAKE_MPIO_PLUGIN_WITHOUT_REFRESH;

using testsupport::readFile;

void ProbeSandbox::writeScenario(const nlohmann::json& scenario) const {
    std::ofstream(dir() + "/scenario.json") << scenario.dump();
}

ProbeRun ProbeSandbox::run(const std::vector<std::string>& args, const std::string& plugin,
                           const std::string& binary) const {
    std::vector<std::string> argvText = {binary};
    if (!plugin.empty()) argvText.insert(argvText.end(), {"--plugin", plugin});
    argvText.insert(argvText.end(), args.begin(), args.end());
    // The fake reads its scenario from, and logs its calls to, this sandbox only.
    testsupport::ProgramOptions options;
    options.extraEnvironment = {"FAKE_MPIO_SCENARIO=" + dir() + "/scenario.json",
                                "FAKE_MPIO_CALL_LOG=" + dir() + "/calls.log"};
    return testsupport::runProgram(argvText, options);
}

std::vector<std::string> ProbeSandbox::calls() const {
    return lines(readFile(dir() + "/calls.log"));
}

nlohmann::json ProbeSandbox::runJson(std::vector<std::string> args, int expectedExit) const {
    args.insert(args.begin(), "--json");
    ProbeRun r = run(args);
    EXPECT_EQ(r.status, expectedExit) << r.out << r.err;
    return nlohmann::json::parse(r.out);
}

nlohmann::json twoDiskScenario() {
    return nlohmann::json::parse(R"({
      "vendor": "Fake MPIO vendor",
      "devices": {"items": ["sddlmaa", "sddlmab"]},
      "mpio": ["/dev/sddlmaa", "/dev/sddlmab", "/dev/sddlmaa1", "/dev/sddlmaa2"],
      "underlying": {
        "/dev/sddlmaa": {"items": ["sdc", "sdd"]},
        "/dev/sddlmab": {"items": ["sde", "sdf", "sdg"]}
      },
      "partitionOf": {
        "/dev/sddlmaa1": {"parent": "/dev/sddlmaa"},
        "/dev/sddlmaa2": {"parent": "/dev/sddlmaa"}
      },
      "partitions": {
        "/dev/sddlmaa": {"list": [
          {"number": 1, "start": 2048, "sectors": 204800, "major": 253, "minor": 1},
          {"number": 2, "start": 206848, "sectors": 3145728, "major": 253, "minor": 2}
        ]},
        "/dev/sddlmab": {"list": []}
      }
    })");
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace probe_test
