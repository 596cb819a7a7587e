#include "cli/run_subcommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "dlnkmgr/state_file.h"
#include "sandbox/agent_environment.h"
#include "sandbox/child_process.h"
#include "sandbox/loop_devices.h"
#include "sandbox/other_root.h"
#include "sandbox/partition_image.h"
#include "sandbox/private_namespace.h"
#include "topology/device_names.h"
#include "topology/numbering.h"
#include "topology/proc_format.h"

namespace sim {
namespace {

class Progress {
public:
    explicit Progress(bool verbose) : verbose_(verbose) {}
    void operator()(const std::string& text) const {
        if (verbose_) std::cerr << "hdlm-sim: " << text << "\n";
    }

private:
    bool verbose_;
};

void warn(const std::string& text) {
    std::cerr << "hdlm-sim: " << text << "\n";
}

// Where another root file system is assembled: beside the work folder, so that the root's /dev
// (the simulated one, bound without what is mounted below it) does not hold the root again.
constexpr const char* kRootMount = "/dev/.hdlm-sim-root";

std::string work(const std::string& name) {
    return std::string(kWorkDir) + "/" + name;
}

void makeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("creating " + path + ": " + std::strerror(errno));
}

std::string selfExe() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        throw std::runtime_error(std::string("reading /proc/self/exe: ") + std::strerror(errno));
    return std::string(buf, size_t(n));
}

// A process that outlives us only to remove the loop indices we added, should we be killed
// before removing them ourselves. It reads one index per line; "done" means nothing to do.
class LoopCleaner {
public:
    LoopCleaner(int controlFd) {
        int fds[2];
        if (controlFd < 0 || pipe2(fds, O_CLOEXEC) != 0) return;
        pid_t pid = fork();
        if (pid < 0) {
            close(fds[0]);
            close(fds[1]);
            return;
        }
        if (pid == 0) {
            close(fds[1]);
            setsid();  // out of the terminal's reach: ^C must not stop the cleanup
            int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
            }
            std::string input;
            char buf[256];
            ssize_t n;
            while ((n = read(fds[0], buf, sizeof buf)) != 0)
                if (n > 0)
                    input.append(buf, size_t(n));
                else if (errno != EINTR)
                    break;
            std::istringstream lines(input);
            std::vector<unsigned> indices;
            for (std::string line; std::getline(lines, line);) {
                if (line == "done") _exit(0);
                indices.push_back(unsigned(std::strtoul(line.c_str(), nullptr, 10)));
            }
            removeLoopIndices(controlFd, indices);
            _exit(0);
        }
        close(fds[0]);
        writeFd_.reset(fds[1]);
    }
    int fd() const { return writeFd_.valid() ? writeFd_.get() : -1; }
    void done() {
        if (writeFd_.valid() && write(writeFd_.get(), "done\n", 5) < 0) { /* it is gone already */
        }
        writeFd_.reset();
    }

private:
    UniqueFd writeFd_;
};

std::vector<LoopSlice> slicesOf(const PartitionTable* table) {
    std::vector<LoopSlice> slices = {{0, 0, 0}};
    if (table)
        for (const Partition& p : table->partitions)
            if (p.number <= 15)  // a disk's 16 minors: higher (GPT) numbers get no device
                slices.push_back(
                    {p.number, p.start * 512, p.kind == "extended" ? 1024 : p.size * 512});
    return slices;
}

// Makes each LU a real block device: an image (with its table, if it has one) on loop devices,
// up to the topology's limit.
void backLusWithLoops(Topology& t, LoopDevices& loops, bool wanted, const Progress& progress) {
    std::string why;
    if (!wanted)
        why = "turned off";
    else if (!t.loopDevices)
        why = "turned off by the topology (loopDevices: false)";
    if (why.empty()) loops.usable(why);
    if (!why.empty()) {
        warn("no loop devices (" + why +
             "): HDLM disks get nodes of a fake major, so their partitions cannot be read");
        return;
    }
    int count = 0;
    for (StorageSystem& ss : t.storageSystems)
        for (LU& lu : ss.lus) {
            std::string name = ss.serial + "/" + lu.ilu;
            if (count >= t.maxLoopBackedLUs) {
                progress("LU " + name + ": beyond maxLoopBackedLUs, a node of a fake major");
                continue;
            }
            std::string image = work("images/" + ss.serial + "-" + lu.ilu + ".img");
            if (lu.table) {
                progress("writing a " + lu.table->label + " table to " + image);
                writePartitionImage(image, lu.sizeMiB << 20, *lu.table);
            } else {
                writeBlankImage(image, lu.sizeMiB << 20);
            }
            try {
                unsigned base = loops.attach(image, slicesOf(lu.table ? &*lu.table : nullptr));
                lu.disk = {kLoopMajor, base};
                lu.loopBacked = true;
                ++count;
                progress("LU " + name + " on loop" + std::to_string(base) +
                         " (7:" + std::to_string(base) + ")");
            } catch (const std::runtime_error& e) {
                warn("no loop device for LU " + name + " (" + e.what() +
                     "): it and the LUs after it get nodes of a fake major, so their partitions "
                     "cannot be read");
                return;
            }
        }
}

// Replays a recording: the recorded text and nodes, except that each HDLM disk whose table
// was recorded is rebuilt on loop devices, its numbers changed where they must be.
void setupReplay(Topology& t, LoopDevices& loops, bool wanted, const Progress& progress) {
    Recording& rec = *t.recording;
    std::string why;
    bool canLoop = wanted && t.loopDevices && loops.usable(why);
    if (!canLoop && !rec.disks.empty())
        warn("no loop devices (" + (why.empty() ? std::string("turned off") : why) +
             "): recorded HDLM disks keep their numbers and their partitions cannot be read");
    std::map<std::pair<unsigned, unsigned>, DevNum> remap;  // old (major, minor) -> new
    for (RecordedDisk& d : rec.disks) {
        if (!canLoop || !d.sectors) continue;
        std::string image = work("images/" + d.name + ".img");
        if (d.table)
            writePartitionImage(image, d.sectors * 512, *d.table);
        else
            writeBlankImage(image, d.sectors * 512);
        unsigned preferred = 0;  // the recorded loop numbers, when the recording was made here
        for (const RecordedNode& n : rec.nodes)
            if (n.name == d.name && n.dev.major == kLoopMajor) preferred = n.dev.minor;
        unsigned base = loops.attach(image, slicesOf(d.table ? &*d.table : nullptr), preferred);
        d.disk = {kLoopMajor, base};
        d.loopBacked = true;
        for (RecordedNode& n : rec.nodes)
            if (n.name == d.name) {
                remap[{n.dev.major, n.dev.minor}] = d.disk;
                for (const Partition& p : d.table ? d.table->partitions : std::vector<Partition>{})
                    remap[{n.dev.major, n.dev.minor + unsigned(p.number)}] = {
                        kLoopMajor, base + unsigned(p.number)};
            }
        progress("recorded disk " + d.name + " on loop" + std::to_string(base));
    }
    if (remap.empty()) return;
    std::vector<PartitionsLine> lines = parsePartitions(rec.procPartitions);
    bool changed = false;
    for (PartitionsLine& l : lines) {
        auto it = remap.find({l.major, l.minor});
        if (it != remap.end() && l.name.compare(0, 5, "sddlm") == 0) {
            changed = changed || !(it->second == DevNum{l.major, l.minor});
            l.major = it->second.major;
            l.minor = it->second.minor;
        }
    }
    if (changed) {
        warn(
            "replay moved recorded HDLM disks to loop devices: their device numbers differ from "
            "the recording");
        rec.procPartitions = renderPartitions(lines);
    }
    for (RecordedNode& n : rec.nodes) {
        auto it = remap.find({n.dev.major, n.dev.minor});
        if (it != remap.end() && n.type == 'b' && n.name.compare(0, 5, "sddlm") == 0)
            n.dev = it->second;
    }
    DevicesTable devices = parseDevices(rec.procDevices);
    bool listed = false;
    for (const DeviceLine& d : devices.block)
        listed = listed || (d.major == kLoopMajor && d.name == "sddlmfdrv");
    if (!listed) {
        insertDevice(devices.block, {kLoopMajor, "sddlmfdrv"});
        rec.procDevices = renderDevices(devices);
    }
}

void describe(const Topology& t, const Progress& progress) {
    for (const StorageSystem& ss : t.storageSystems)
        for (const LU& lu : ss.lus)
            if (luVisible(lu))
                progress(lu.hdev + " (" + std::to_string(lu.disk.major) + ":" +
                         std::to_string(lu.disk.minor) + ") " + ss.product + "/" + ss.serial +
                         " iLU " + lu.ilu + (lu.loopBacked ? ", loop-backed" : ""));
}

}  // namespace

int runSimulated(const RunOptions& options) {
    if (geteuid() != 0) {
        warn(
            "this needs root: it builds a private mount namespace with device nodes and loop "
            "devices. "
            "Run it as root, e.g. sudo hdlm-sim run TOPOLOGY.json -- COMMAND");
        return 2;
    }
    Progress progress(options.verbose);
    if (!options.root.empty()) {
        std::string why = unusableRoot(options.root);
        if (!why.empty()) {
            warn("cannot run in the root file system " + options.root + ": " + why +
                 ". Give a folder holding a whole system, e.g. one made with debootstrap");
            return 2;
        }
    }
    std::string unavailable = unavailableEnvironment(options.environment);
    if (!unavailable.empty()) {
        warn(unavailable);
        return 2;
    }
    Topology t;
    std::string realPartitions, realDevices, self, cwd;
    try {
        t = loadTopology(options.topology);
        realPartitions = readTextFile("/proc/partitions");
        realDevices = readTextFile("/proc/devices");
        self = selfExe();
        char here[PATH_MAX];
        cwd = getcwd(here, sizeof here) ? here : "/";
    } catch (const std::exception& e) {
        warn(e.what());
        return 2;
    }
    try {
        progress("entering a private mount namespace");
        SandboxHandles handles = enterPrivateNamespace();
        progress("building /dev");
        buildDev();
        for (const char* dir : {"bin", "images", "loop"}) makeDir(work(dir));
        LoopCleaner cleaner(handles.loopControl.get());
        LoopDevices loops(std::move(handles.loopControl), work("loop"), cleaner.fd());
        if (t.recording)
            setupReplay(t, loops, !options.noLoop, progress);
        else
            backLusWithLoops(t, loops, !options.noLoop, progress);
        if (!t.recording)
            prepareState(t, realPartitions, realDevices);
        else if (!t.runtime)
            t.runtime.emplace();
        Runtime& rt = *t.runtime;
        rt.procPartitionsFile = work("partitions");
        rt.procDevicesFile = work("devices");
        rt.devDir = "/dev";
        rt.enforceRoot = true;
        rt.loopMajor = kLoopMajor;
        std::string state = work("state.json");
        saveState(state, t);
        publishHost(t);
        describe(t, progress);
        progress("binding the generated /proc/partitions and /proc/devices");
        bindOver(rt.procPartitionsFile, "/proc/partitions");
        bindOver(rt.procDevicesFile, "/proc/devices");
        const AgentEnvironment& env = options.environment;
        ProgressLine line = [&progress](const std::string& text) { progress(text); };
        bool inHostRoot = false;
        if (!options.root.empty()) {
            progress("binding hdlm-sim with its loader and libraries for dlnkmgr in " +
                     options.root);
            provideDlnkmgr(work("runtime"), work("bin/dlnkmgr"));
            progress("assembling " + options.root + " with the simulated /dev and /proc at " +
                     kRootMount);
            assembleRoot(options.root, kRootMount, work("overlay"), options.binds);
            if (env.servicePath) addHdlmLayout(kRootMount, work("bin/dlnkmgr"), line);
        } else {
            // hdlm-sim itself too, for `hdlm-sim fault` inside the host.
            for (const char* name : {"dlnkmgr", "hdlm-sim"})
                if (symlink(self.c_str(), work(std::string("bin/") + name).c_str()) != 0)
                    throw std::runtime_error("linking " + std::string(name) + ": " +
                                             std::strerror(errno));
            inHostRoot = bindAgentEnvironment(env, kWorkDir, work("bin/dlnkmgr"), kRootMount, line);
        }
        const char* path = getenv("PATH");
        setAgentVariables(env, work("bin") + ":" +
                                   (path && *path ? path
                                                  : "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/"
                                                    "bin:/sbin:/bin"));
        setenv(kStateEnv, state.c_str(), 1);
        progress("running " + options.command.front());
        int status = !options.root.empty()
                         ? runForwardingSignals(options.command, kRootMount,
                                                startDirectory(cwd, options.binds))
                     : inHostRoot ? runForwardingSignals(options.command, kRootMount, cwd)
                                  : runForwardingSignals(options.command);
        progress("command ended with status " + std::to_string(status) +
                 "; releasing loop devices");
        loops.release();
        cleaner.done();
        return status;
    } catch (const std::exception& e) {
        warn("cannot build the simulated host: " + std::string(e.what()));
        return 125;
    }
}

}  // namespace sim
