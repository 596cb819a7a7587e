// The calls the threads make: every entry point but init and the three exported helpers, each
// on HDLM disks, their partitions and devices that are not HDLM's, each answer checked against
// the single-threaded snapshot.
#pragma once

#include <string>
#include <vector>

#include "host_snapshot.h"
#include "plugin_library.h"

namespace stress {

enum class TargetKind { Disk, Partition, Foreign };

// A device the calls ask about. `disk` indexes the snapshot's disks (Disk and Partition).
struct Target {
    std::string path;
    TargetKind kind = TargetKind::Foreign;
    size_t disk = 0;
    unsigned partition = 0;
};

struct StressContext {
    const testsupport::PluginExports& api;
    const HostSnapshot& snapshot;
    std::string vendor;  // what init returned
};

struct Operation {
    const char* name;
    // Makes one call; returns why its answer is wrong, or empty. `round` varies the arguments.
    std::string (*run)(const StressContext& context, const Target& target, unsigned round);
};

std::vector<Operation> stressOperations();

// Every disk and partition of the snapshot, plus a node of another driver, a SCSI path node
// and a path that does not exist.
std::vector<Target> stressTargets(const HostSnapshot& snapshot);

}  // namespace stress
