#include "device_namespace.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace device_namespace {
namespace {

std::string failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

std::string enter() {
    static const std::string outcome = []() -> std::string {
        if (geteuid() != 0) return "needs root to enter a private mount namespace (run as root)";
        if (unshare(CLONE_NEWNS) != 0) return failure("unshare(CLONE_NEWNS) failed");
        // Nothing mounted here may propagate back to the machine.
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return failure("making / rprivate failed");
        return "";
    }();
    return outcome;
}

std::string mountFreshDevAndTmp() {
    if (mount("tmpfs", "/dev", "tmpfs", MS_NOSUID, "mode=0755,size=4m") != 0)
        return failure("mounting a tmpfs over /dev failed");
    if (mount("tmpfs", "/tmp", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777,size=4m") != 0) {
        std::string why = failure("mounting a tmpfs over /tmp failed");
        umount2("/dev", MNT_DETACH);
        return why;
    }
    return "";
}

void unmountDevAndTmp() {
    umount2("/tmp", MNT_DETACH);
    umount2("/dev", MNT_DETACH);
}

std::string makeNode(const std::string& path, unsigned major, unsigned minor, mode_t type) {
    if (mknod(path.c_str(), type | 0600, makedev(major, minor)) != 0)
        return failure("mknod " + path + " failed");
    return "";
}

}  // namespace device_namespace
