// Helpers for the simulator's tests: temporary directories, shell pipelines, a state file.
#pragma once
#include <string>

#include "topology/topology.h"

namespace simtest {

struct ShellResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `script` with /bin/sh -c, stdin from /dev/null, and collects both streams.
ShellResult sh(const std::string& script, const std::string& env = "");

// A directory removed with its content at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// The /proc text of a small machine: a virtio disk, a loop device and a few majors in use.
extern const char* const kMachinePartitions;
extern const char* const kMachineDevices;

// A prepared state for `topology` in `dir` (state.json, partitions, devices; no /dev nodes),
// plus a `dlnkmgr` link to hdlm-sim. Returns the environment for sh() that reaches it.
std::string prepareSimulatedHost(const TempDir& dir, sim::Topology topology);

sim::Topology demoTopology();

}  // namespace simtest
