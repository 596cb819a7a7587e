#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
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

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

ShellResult sh(const std::string& script, const std::string& env) {
    TempDir dir;
    std::string out = dir.path() + "/out", err = dir.path() + "/err";
    std::string full = env + " /bin/sh -c '";
    for (char c : script) full += c == '\'' ? std::string("'\\''") : std::string(1, c);
    full += "' </dev/null >" + out + " 2>" + err;
    int rc = std::system(full.c_str());
    ShellResult r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

TempDir::TempDir() {
    char tmpl[] = "/tmp/hdlm-sim-test.XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::system(("rm -rf '" + path_ + "'").c_str());
}

std::string TempDir::file(const std::string& name, const std::string& content) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p) << content;
    return p;
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
    if (symlink(HDLM_SIM_BIN, (bin + "/dlnkmgr").c_str()) != 0)
        throw std::runtime_error("symlink failed");
    return "PATH=" + bin + ":/usr/bin:/bin HDLM_SIM_STATE=" + state;
}

sim::Topology demoTopology() {
    return sim::loadTopology(DEMO_TOPOLOGY);
}

}  // namespace simtest
