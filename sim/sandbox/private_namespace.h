// The private mount namespace of a simulated host: a fresh /dev, the simulator's own tmpfs,
// and /proc files bound over with generated ones.
#pragma once
#include <string>

#include "unique_fd.h"

namespace sim {

// Where the simulator keeps its files inside the namespace (a tmpfs, mode 0700).
constexpr const char* kWorkDir = "/dev/.hdlm-sim";

struct SandboxHandles {
    UniqueFd loopControl;  // /dev/loop-control of the machine, if it could be opened
};

// Enters a new mount namespace with every mount private, so nothing done here reaches the
// machine. Opens what must be taken from the real /dev before it is covered.
SandboxHandles enterPrivateNamespace();

// Covers /dev with a tmpfs holding the basic nodes (null, zero, full, random, urandom, tty,
// ptmx, the fd links), the machine's devpts, a new /dev/shm, and the work tmpfs.
void buildDev();

// Binds `file` over `target` (/proc/partitions, /proc/devices).
void bindOver(const std::string& file, const std::string& target);

}  // namespace sim
