#include "sandbox/private_namespace.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace sim {
namespace {

[[noreturn]] void failed(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void mountTmpfs(const std::string& target, const std::string& options, unsigned long flags) {
    if (mount("tmpfs", target.c_str(), "tmpfs", flags, options.c_str()) != 0)
        failed("mounting a tmpfs on " + target);
}

void node(const std::string& name, mode_t type, unsigned major, unsigned minor, mode_t mode) {
    std::string path = "/dev/" + name;
    if (mknod(path.c_str(), type | mode, makedev(major, minor)) != 0) failed("creating " + path);
    if (chmod(path.c_str(), mode) != 0) failed("setting the mode of " + path);
}

void link(const std::string& target, const std::string& name) {
    std::string path = "/dev/" + name;
    if (symlink(target.c_str(), path.c_str()) != 0) failed("creating the link " + path);
}

void directory(const std::string& path, mode_t mode) {
    if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST) failed("creating " + path);
}

// The real /dev, kept reachable after it is covered (for binding its devpts).
UniqueFd realDev;

}  // namespace

SandboxHandles enterPrivateNamespace() {
    if (unshare(CLONE_NEWNS) != 0) failed("unshare(CLONE_NEWNS)");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) failed("making / private");
    SandboxHandles h;
    h.loopControl.reset(open("/dev/loop-control", O_RDWR | O_CLOEXEC));
    realDev.reset(open("/dev", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!realDev.valid()) failed("opening /dev");
    return h;
}

void buildDev() {
    mountTmpfs("/dev", "mode=0755", MS_NOSUID);
    node("null", S_IFCHR, 1, 3, 0666);
    node("zero", S_IFCHR, 1, 5, 0666);
    node("full", S_IFCHR, 1, 7, 0666);
    node("random", S_IFCHR, 1, 8, 0666);
    node("urandom", S_IFCHR, 1, 9, 0666);
    node("tty", S_IFCHR, 5, 0, 0666);
    link("/proc/self/fd", "fd");
    link("/proc/self/fd/0", "stdin");
    link("/proc/self/fd/1", "stdout");
    link("/proc/self/fd/2", "stderr");
    link("/proc/kcore", "core");
    directory("/dev/pts", 0755);
    // The machine's devpts, so the terminal the command runs on keeps its name; a new
    // instance where it cannot be bound.
    std::string realPts = "/proc/self/fd/" + std::to_string(realDev.get()) + "/pts";
    if (mount(realPts.c_str(), "/dev/pts", nullptr, MS_BIND, nullptr) == 0) {
        node("ptmx", S_IFCHR, 5, 2, 0666);
    } else {
        if (mount("devpts", "/dev/pts", "devpts", MS_NOSUID | MS_NOEXEC,
                  "newinstance,ptmxmode=0666,mode=0620") != 0)
            failed("mounting devpts on /dev/pts");
        link("pts/ptmx", "ptmx");
    }
    realDev.reset();
    directory("/dev/shm", 01777);
    mountTmpfs("/dev/shm", "mode=1777", MS_NOSUID | MS_NODEV);
    directory(kWorkDir, 0700);
    mountTmpfs(kWorkDir, "mode=0700", MS_NOSUID);
}

void bindOver(const std::string& file, const std::string& target) {
    if (mount(file.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0)
        failed("binding " + file + " over " + target);
}

}  // namespace sim
