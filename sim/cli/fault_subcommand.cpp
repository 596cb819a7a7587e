#include "cli/fault_subcommand.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>

#include "dlnkmgr/path_changes.h"
#include "dlnkmgr/state_file.h"

namespace sim {

int faultSubcommand(bool remove, const std::string& device) {
    const std::string self = std::string("hdlm-sim fault ") + (remove ? "remove" : "return");
    const char* env = getenv(kStateEnv);
    if (!env || !*env) {
        std::cerr << self << ": not inside a simulated host (" << kStateEnv
                  << " is not set); run it in `hdlm-sim run` or `hdlm-sim shell`\n";
        return 2;
    }
    const std::string statePath = env;
    if (access(statePath.c_str(), F_OK) != 0) {
        std::cerr << self << ": not inside a simulated host: its state " << statePath << " ("
                  << kStateEnv << ") does not exist\n";
        return 2;
    }
    std::optional<StateLock> lock;
    Topology t;
    std::string change;
    try {
        lock.emplace(statePath);
        t = loadState(statePath);
        if (!t.runtime) throw std::runtime_error("it is a topology, not a running host's state");
        change = remove ? removeScsiDevice(t, device) : returnScsiDevice(t, device);
    } catch (const std::exception& e) {
        std::cerr << self << ": " << device << ": " << e.what() << " (state " << statePath << ")\n";
        return 2;
    }
    try {
        saveState(statePath, t);
        publishHost(t);
    } catch (const std::exception& e) {
        std::cerr << self << ": " << device
                  << ": the simulated host could not be changed: " << e.what() << "\n";
        return 1;
    }
    std::cout << change << "\n";
    return 0;
}

}  // namespace sim
