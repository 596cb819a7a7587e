#include "topology_writers/capture.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "topology/device_names.h"
#include "topology/proc_format.h"
#include "unique_fd.h"

namespace sim {
namespace {

// Runs dlnkmgr with `args`, both streams captured; a command over time is killed (status 124).
RecordedCommand runDlnkmgr(const std::vector<std::string>& args, int timeoutSeconds) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    UniqueFd outRead(out[0]), outWrite(out[1]), errRead(err[0]), errWrite(err[1]);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        dup2(outWrite.get(), 1);
        dup2(errWrite.get(), 2);
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        std::vector<char*> argv = {const_cast<char*>("dlnkmgr")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp("dlnkmgr", argv.data());
        fprintf(stderr, "dlnkmgr: %s\n", strerror(errno));
        _exit(127);
    }
    outWrite.reset();
    errWrite.reset();
    RecordedCommand rc;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool timedOut = false;
    while (outRead.valid() || errRead.valid()) {
        struct pollfd fds[2] = {{outRead.get(), POLLIN, 0}, {errRead.get(), POLLIN, 0}};
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                           deadline - std::chrono::steady_clock::now())
                           .count());
        if (left <= 0) {
            timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, left) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[65536];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0)
                (i == 0 ? rc.out : rc.err).append(buf, size_t(n));
            else if (n == 0 || errno != EINTR)
                (i == 0 ? outRead : errRead).reset();
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    rc.status = timedOut ? 124 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return rc;
}

std::string join(const std::vector<std::string>& args) {
    std::string s;
    for (const std::string& a : args) s += (s.empty() ? "" : " ") + a;
    return s;
}

struct ProbeFree {
    void operator()(blkid_struct_probe* p) const { blkid_free_probe(p); }
};

// The partition table of a disk as libblkid reads it; nullopt without one.
std::optional<PartitionTable> readTable(const std::string& path) {
    std::unique_ptr<blkid_struct_probe, ProbeFree> pr(blkid_new_probe_from_filename(path.c_str()));
    if (!pr) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    blkid_probe_enable_superblocks(pr.get(), 0);
    blkid_probe_enable_partitions(pr.get(), 1);
    blkid_probe_set_partitions_flags(pr.get(), BLKID_PARTS_ENTRY_DETAILS);
    if (blkid_do_fullprobe(pr.get()) < 0) throw std::runtime_error("cannot probe " + path);
    blkid_partlist list = blkid_probe_get_partitions(pr.get());
    if (!list) return std::nullopt;
    blkid_parttable root = blkid_partlist_get_table(list);
    if (!root) return std::nullopt;
    PartitionTable t;
    t.label = blkid_parttable_get_type(root);
    if (t.label != "dos" && t.label != "gpt")
        throw std::runtime_error(path + ": a " + t.label +
                                 " table (only dos and gpt are replayed)");
    int n = blkid_partlist_numof_partitions(list);
    for (int i = 0; i < n; ++i) {
        blkid_partition par = blkid_partlist_get_partition(list, i);
        blkid_parttable own = blkid_partition_get_table(par);
        if (own != root && !(t.label == "dos" && blkid_partition_is_logical(par)))
            continue;  // a nested label
        Partition p;
        p.number = blkid_partition_get_partno(par);
        p.start = uint64_t(blkid_partition_get_start(par));
        p.size = uint64_t(blkid_partition_get_size(par));
        if (t.label == "dos") {
            p.kind = blkid_partition_is_extended(par)  ? "extended"
                     : blkid_partition_is_logical(par) ? "logical"
                                                       : "primary";
            char code[8];
            snprintf(code, sizeof code, "%x", blkid_partition_get_type(par));
            p.type = code;
        } else if (const char* guid = blkid_partition_get_type_string(par)) {
            p.type = guid;
            std::transform(p.type.begin(), p.type.end(), p.type.begin(), ::toupper);
        }
        if (p.number >= 1 && p.number <= 15) t.partitions.push_back(p);
    }
    return t;
}

}  // namespace

Topology captureHost(const CaptureOptions& o) {
    auto progress = [&](const std::string& s) {
        if (o.verbose) std::cerr << "hdlm-sim capture: " << s << "\n";
    };
    Recording rec;
    rec.procPartitions = readTextFile(o.procPartitions);
    rec.procDevices = readTextFile(o.procDevices);

    std::vector<std::vector<std::string>> views = {{"view", "-sys", "-msrv"}, {"view", "-lu"}};
    std::set<std::string> disks;
    for (const auto& args : views) {
        progress("dlnkmgr " + join(args));
        RecordedCommand rc = runDlnkmgr(args, o.timeoutSeconds);
        if (rc.status == 127) throw std::runtime_error("dlnkmgr is not on PATH: " + rc.err);
        rec.commands[join(args)] = rc;
        if (args[1] == "-lu") {  // the plug-in's listing: the second field of each line with sddlm
            std::istringstream lines(rc.out);
            for (std::string line; std::getline(lines, line);) {
                std::istringstream fields(line);
                std::string first, second;
                if (line.find("sddlm") != std::string::npos && fields >> first >> second)
                    disks.insert(second);
            }
        }
    }
    for (const PartitionsLine& l : parsePartitions(rec.procPartitions))
        if (hdevIndex(l.name) >= 0) disks.insert(l.name);
    for (const std::string& d : disks) {
        std::vector<std::string> args = {"view", "-lu", "-item", "-hdev", d};
        progress("dlnkmgr " + join(args));
        rec.commands[join(args)] = runDlnkmgr(args, o.timeoutSeconds);
    }

    DIR* dir = opendir(o.devDir.c_str());
    if (!dir) throw std::runtime_error("cannot list " + o.devDir + ": " + std::strerror(errno));
    while (struct dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.compare(0, 2, "sd") != 0) continue;
        struct stat st;
        if (lstat((o.devDir + "/" + name).c_str(), &st) != 0 ||
            !(S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode)))
            continue;
        rec.nodes.push_back(
            {name, S_ISBLK(st.st_mode) ? 'b' : 'c', {major(st.st_rdev), minor(st.st_rdev)}});
    }
    closedir(dir);
    std::sort(rec.nodes.begin(), rec.nodes.end(),
              [](const RecordedNode& a, const RecordedNode& b) { return a.name < b.name; });

    for (const PartitionsLine& l : parsePartitions(rec.procPartitions)) {
        if (hdevIndex(l.name) < 0) continue;
        RecordedDisk d;
        d.name = l.name;
        d.sectors = l.kib * 2;
        progress("reading the partition table of " + o.devDir + "/" + l.name);
        try {
            d.table = readTable(o.devDir + "/" + l.name);
        } catch (const std::runtime_error& e) {
            std::cerr << "hdlm-sim capture: " << e.what() << "; " << l.name
                      << " is recorded without a table\n";
        }
        rec.disks.push_back(d);
    }
    Topology t;
    t.recording = rec;
    return t;
}

}  // namespace sim
