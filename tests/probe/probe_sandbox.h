// Runs the real mpio-probe binary against the scripted fake plug-in, in a private scratch folder.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "process_runner.h"
#include "temp_dir.h"

namespace probe_test {

using ProbeRun = testsupport::ProgramResult;

// A scratch folder holding the scenario and the call log; removed with everything in it.
class ProbeSandbox {
public:
    const std::string& dir() const { return dir_.path(); }
    void writeScenario(const nlohmann::json& scenario) const;
    // Runs `binary args...` with the fake's environment; `plugin` is passed as --plugin unless
    // empty.
    ProbeRun run(const std::vector<std::string>& args, const std::string& plugin = kFakePlugin,
                 const std::string& binary = kProbeBinary) const;
    // The calls the fake saw, one line each, in order.
    std::vector<std::string> calls() const;
    // run() with --json, its stdout parsed (a parse failure fails the test through the throw).
    nlohmann::json runJson(std::vector<std::string> args, int expectedExit = 0) const;

    static const std::string kProbeBinary;
    static const std::string kFakePlugin;
    static const std::string kFakePluginWithoutRefresh;

private:
    testsupport::TempDir dir_{"mpio-probe-test"};
};

// Two disks: sddlmaa with paths sdc, sdd and partitions 1 and 2; sddlmab with paths sde, sdf, sdg
// and no partitions.
nlohmann::json twoDiskScenario();

// Lines of text.
std::vector<std::string> lines(const std::string& text);

}  // namespace probe_test
