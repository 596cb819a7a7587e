// hdlm-sim run / shell: builds the simulated host in a private mount namespace, runs the
// command there and tears everything down when it ends.
#pragma once
#include <string>
#include <vector>

#include "sandbox/agent_environment.h"
#include "sandbox/other_root.h"

namespace sim {

struct RunOptions {
    std::string topology;
    std::vector<std::string> command;
    bool verbose = false;         // progress on stderr
    bool noLoop = false;          // fake-major nodes only, no loop devices
    std::string root;             // another root file system to run the command in; empty: this one
    std::vector<BindSpec> binds;  // the caller's folders brought into that root
    AgentEnvironment environment;  // a real host agent's userland, locale, grep and PATH
};

// Exit codes of its own: 2 not root, a bad topology or an unusable root file system, 125 the
// simulated host could not be built; otherwise the command's own status.
int runSimulated(const RunOptions& options);

}  // namespace sim
