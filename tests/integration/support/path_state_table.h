// Every path state on one simulated host: one LU per row, three paths each, the first or the
// middle one in the row's state — set in the topology, or brought about while the host runs
// (dlnkmgr offline/online, hdlm-sim fault remove/return). integration_test builds the host from
// the table; integration_host makes the changes, tells the host model the same, and holds every
// entry point's answer against the model.
#pragma once
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host_model.h"

namespace integ {

// A change to one path while the host runs.
struct PathChange {
    enum Kind { Offline, Online, Remove, Return } kind;
    std::string device;  // sdc
    int pathId = -1;     // for Offline and Online
    std::string command() const;
    // A status change (offline, online) changes nothing the plug-in reports.
    void applyTo(testsupport::HostModel& model) const;
};

nlohmann::json pathStateTopology();
// The table's changes, in order.
std::vector<PathChange> pathChangesWhileRunning();

}  // namespace integ
