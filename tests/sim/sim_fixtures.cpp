#include "sim_fixtures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "dlnkmgr/state_file.h"
#include "topology/numbering.h"

namespace simtest {

const char* const kMachinePartitions =
    "major minor  #blocks  name\n"
    "\n"
    " 254        0  268435456 vda\n"
    "   7        0     102400 loop0\n";

const char* const kMachineDevices =
    "Character devices:\n"
    "  1 mem\n"
    "  4 tty\n"
    "136 pts\n"
    "252 dax\n"
    "\n"
    "Block devices:\n"
    "  7 loop\n"
    "253 device-mapper\n"
    "254 virtblk\n"
    "259 blkext\n";

ShellResult sh(const std::string& script, const std::string& env) {
    if (env.empty()) return testsupport::runShell(script);
    return testsupport::runShell(env + " /bin/sh -c " + testsupport::shellQuote(script));
}

std::string prepareSimulatedHost(const TempDir& dir, sim::Topology t) {
    sim::prepareState(t, kMachinePartitions, kMachineDevices);
    t.runtime->procPartitionsFile = dir.path() + "/partitions";
    t.runtime->procDevicesFile = dir.path() + "/devices";
    std::string state = dir.path() + "/state.json";
    sim::saveState(state, t);
    sim::publishHost(t);
    std::string bin = dir.path() + "/bin";
    mkdir(bin.c_str(), 0755);
    for (const char* name : {"/dlnkmgr", "/hdlm-sim"})
        if (symlink(HDLM_SIM_BIN, (bin + name).c_str()) != 0)
            throw std::runtime_error("symlink failed");
    return "PATH=" + bin + ":/usr/bin:/bin HDLM_SIM_STATE=" + state;
}

sim::Topology demoTopology() {
    return sim::loadTopology(DEMO_TOPOLOGY);
}

}  // namespace simtest
