// Helpers for the simulator's tests: shell pipelines and a prepared state file.
#pragma once
#include <string>

#include "process_runner.h"
#include "temp_dir.h"
#include "topology/topology.h"

namespace simtest {

using ShellResult = testsupport::ProgramResult;

// Runs `script` with /bin/sh -c, stdin from /dev/null, and collects both streams; `env` is a list
// of NAME=value words put before the shell.
ShellResult sh(const std::string& script, const std::string& env = "");

using testsupport::TempDir;

// The /proc text of a small machine: a virtio disk, a loop device and a few majors in use.
extern const char* const kMachinePartitions;
extern const char* const kMachineDevices;

// A prepared state for `topology` in `dir` (state.json, partitions, devices; no /dev nodes),
// plus `dlnkmgr` and `hdlm-sim` links to hdlm-sim. Returns the environment for sh() that reaches
// it.
std::string prepareSimulatedHost(const TempDir& dir, sim::Topology topology);

sim::Topology demoTopology();

}  // namespace simtest
