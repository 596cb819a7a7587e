#include "dlnkmgr/state_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "sandbox/dev_nodes.h"
#include "topology/host_view.h"
#include "topology/proc_format.h"

namespace sim {

StateLock::StateLock(const std::string& statePath) {
    std::string path = statePath + ".lock";
    fd_.reset(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd_.valid())
        throw std::runtime_error("cannot open lock file " + path + ": " + std::strerror(errno));
    while (flock(fd_.get(), LOCK_EX) != 0)
        if (errno != EINTR)
            throw std::runtime_error("cannot lock " + path + ": " + std::strerror(errno));
}

Topology loadState(const std::string& path) {
    return parseTopology(readTextFile(path));
}

namespace {

void writeAll(int fd, const std::string& text, const std::string& path) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = pwrite(fd, text.data() + done, text.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
        done += size_t(n);
    }
}

}  // namespace

void saveState(const std::string& path, const Topology& t) {
    std::string tmp = path + ".new";
    UniqueFd fd(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.valid()) throw std::runtime_error("cannot create " + tmp + ": " + std::strerror(errno));
    writeAll(fd.get(), toJson(t, false), tmp);
    fd.reset();
    if (rename(tmp.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot replace " + path + ": " + std::strerror(errno));
}

void rewriteInPlace(const std::string& path, const std::string& text) {
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid()) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    writeAll(fd.get(), text, path);
    if (ftruncate(fd.get(), off_t(text.size())) != 0)
        throw std::runtime_error("cannot truncate " + path + ": " + std::strerror(errno));
}

void publishHost(const Topology& t) {
    if (!t.runtime) return;
    const Runtime& rt = *t.runtime;
    HostView view = deriveHostView(t);
    if (!rt.procPartitionsFile.empty()) rewriteInPlace(rt.procPartitionsFile, partitionsText(view));
    if (!rt.procDevicesFile.empty()) rewriteInPlace(rt.procDevicesFile, devicesText(view));
    if (!rt.devDir.empty()) syncNodes(rt.devDir, view.nodes);
}

}  // namespace sim
