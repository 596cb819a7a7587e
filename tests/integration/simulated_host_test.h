// The frame of every integration test: it runs one command inside `hdlm-sim run TOPOLOGY`, and
// afterwards checks that the simulated host left nothing behind — no process of its session or
// re-parented to this test, no loop device the host used still bound, no change to this
// process's mounts. It skips (with the reason) where the simulator can't run: not root, no
// mount namespaces, no loop devices.
#pragma once
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "process_runner.h"
#include "temp_dir.h"

namespace integ {

// The demo topology shipped with the simulator.
nlohmann::json demoTopology();

class SimulatedHostTest : public ::testing::Test {
protected:
    void SetUp() override;

    std::string writeTopology(const nlohmann::json& topology);

    // Runs `command` in the simulated host of `topologyFile`; `environment` is added to this
    // process's. The host's loop devices are those integration_host records in `loopReport`
    // (empty: the command records none). `simOptions` go to `hdlm-sim run` (the agent's
    // environment: --userland, --lang, ...).
    testsupport::ProgramResult runInSimulatedHost(const std::string& topologyFile,
                                                  const std::vector<std::string>& command,
                                                  const std::vector<std::string>& environment = {},
                                                  const std::string& loopReport = "",
                                                  const std::vector<std::string>& simOptions = {});

    // Runs integration_host's tests matching `filter` in the simulated host, and requires each
    // of them to have run and passed.
    void runHostTests(const std::string& topologyFile, const std::string& filter,
                      const std::vector<std::string>& environment = {});

    // A directory of this test's own, made once the test is known to run.
    testsupport::TempDir& scratch() { return *scratch_; }

private:
    std::optional<testsupport::TempDir> scratch_;
    void expectNothingLeftBehind(pid_t session, const std::string& loopReport);
    std::string mountsBefore_;
};

}  // namespace integ
