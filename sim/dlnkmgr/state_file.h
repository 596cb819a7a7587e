// The state file that `run` writes and the simulated dlnkmgr reads and rewrites, under a lock.
#pragma once
#include <string>

#include "topology/topology.h"
#include "unique_fd.h"

namespace sim {

// The environment variable through which dlnkmgr finds the state file.
constexpr const char* kStateEnv = "HDLM_SIM_STATE";

// An exclusive flock on STATE.lock, held for the object's lifetime.
class StateLock {
public:
    explicit StateLock(const std::string& statePath);

private:
    UniqueFd fd_;
};

Topology loadState(const std::string& path);
// Writes a new file and renames it over the old one: readers never see half a state.
void saveState(const std::string& path, const Topology& t);

// Brings the generated /proc files (rewritten in place: they are bind-mounted) and the
// /dev nodes in line with the state.
void publishHost(const Topology& t);

// Replaces a file's content without replacing the file.
void rewriteInPlace(const std::string& path, const std::string& text);

}  // namespace sim
