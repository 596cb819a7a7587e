// Running the command inside the simulated host.
#pragma once
#include <string>
#include <vector>

namespace sim {

// Runs `argv` (looked up on PATH) as a child and waits for it. SIGINT, SIGTERM, SIGHUP and
// SIGQUIT sent to this process by another process are passed on to the child (those from
// the terminal reach it directly); the child gets SIGKILL should this process die first.
// Returns the child's exit status, 128 + the signal that ended it, 127 when the command is
// not found, 126 when it cannot be executed.
// With a `root`, the command runs changed into it, starting in `startDir`.
int runForwardingSignals(const std::vector<std::string>& argv, const std::string& root = {},
                         const std::string& startDir = "/");

}  // namespace sim
