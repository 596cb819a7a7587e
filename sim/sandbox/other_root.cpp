#include "sandbox/other_root.h"

#include <dirent.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "sandbox/mount_steps.h"
#include "sandbox/private_namespace.h"

namespace sim {
namespace {

// A mount point of the same kind as what is bound on it.
void mountPointFor(const std::string& source, const std::string& target) {
    struct stat st;
    if (stat(source.c_str(), &st) != 0) failed("reading " + source);
    if (S_ISDIR(st.st_mode)) {
        makeDirs(target);
        return;
    }
    makeDirs(target.substr(0, target.find_last_of('/')));
    int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) failed("creating " + target);
    close(fd);
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) failed("reading the current directory");
    return std::string(cwd) + "/" + path;
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// Below `dir` or `dir` itself: the rest of the path ("" or "/sub"), or nothing.
bool under(const std::string& path, const std::string& dir, std::string& rest) {
    std::string d = dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir;
    if (path.compare(0, d.size(), d) != 0) return false;
    if (path.size() != d.size() && path[d.size()] != '/') return false;
    rest = path.substr(d.size());
    return true;
}

// The simulated /dev (with its pts, shm and the simulator's work folder) and the machine's
// /proc (with the simulated files bound over it) and /sys, at `mountPoint`.
void bindSystemFolders(const std::string& mountPoint) {
    const std::string dev = mountPoint + "/dev";
    makeDirs(dev);
    bind("/dev", dev, false);  // the nodes only: not the root being assembled below /dev
    for (const char* sub : {"/pts", "/shm"}) bind(std::string("/dev") + sub, dev + sub, true);
    bind(kWorkDir, mountPoint + kWorkDir, true);  // the state, the /proc texts, dlnkmgr
    for (const char* top : {"/proc", "/sys"}) {
        makeDirs(mountPoint + top);
        bind(top, mountPoint + top, true);
    }
}

}  // namespace

void makeDirs(const std::string& path) {
    for (size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) failed("creating " + part);
    }
}

BindSpec parseBind(const std::string& text) {
    size_t colon = text.find(':');
    BindSpec b;
    b.source = text.substr(0, colon);
    b.target = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    if (b.source.empty()) throw std::runtime_error("--bind '" + text + "': no source folder");
    b.source = absolute(b.source);
    if (b.target.empty()) b.target = b.source;
    if (b.target[0] != '/')
        throw std::runtime_error("--bind '" + text + "': the target must be an absolute path");
    if (access(b.source.c_str(), F_OK) != 0)
        throw std::runtime_error("--bind '" + text + "': " + b.source + ": " +
                                 std::strerror(errno));
    return b;
}

std::string unusableRoot(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) return std::string("cannot use it: ") + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return "not a directory";
    // Links inside the root (bin -> usr/bin) point into the root: follow them from within.
    pid_t pid = fork();
    if (pid < 0) return std::string("cannot look inside it: fork: ") + std::strerror(errno);
    if (pid == 0) _exit(chroot(dir.c_str()) != 0 ? 2 : access("/bin/sh", X_OK) != 0 ? 1 : 0);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return std::string("cannot look inside it: ") + std::strerror(errno);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 2) return "cannot change root into it";
    if (WEXITSTATUS(status) == 1) return "no executable /bin/sh inside";
    return {};
}

std::string startDirectory(const std::string& cwd, const std::vector<BindSpec>& binds) {
    std::string rest;
    for (auto b = binds.rbegin(); b != binds.rend(); ++b)  // the last bind covers the earlier
        if (under(cwd, b->source, rest)) return b->target + rest;
    return "/";
}

void assembleRoot(const std::string& dir, const std::string& mountPoint, const std::string& scratch,
                  const std::vector<BindSpec>& binds) {
    for (const std::string& d : {scratch + "/upper", scratch + "/work", mountPoint}) makeDirs(d);
    std::string options =
        "lowerdir=" + dir + ",upperdir=" + scratch + "/upper,workdir=" + scratch + "/work";
    if (dir.find_first_of(",:") != std::string::npos)
        throw std::runtime_error("the root's path " + dir +
                                 " holds ',' or ':', which overlayfs "
                                 "cannot take; use a path without them");
    if (mount("overlay", mountPoint.c_str(), "overlay", 0, options.c_str()) != 0)
        failed("mounting a writable layer over " + dir + " (overlayfs)");
    bindSystemFolders(mountPoint);
    for (const BindSpec& b : binds) {
        mountPointFor(b.source, mountPoint + b.target);
        bind(b.source, mountPoint + b.target, true);
    }
}

void assembleHostRoot(const std::string& mountPoint) {
    makeDirs(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_NOSUID, "mode=0755") != 0)
        failed("mounting a tmpfs on " + mountPoint);
    DirHandle top(opendir("/"));
    if (!top) failed("listing /");
    while (dirent* e = readdir(top.get())) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || name == "dev" || name == "proc" || name == "sys")
            continue;
        mirrorEntry("/" + name, mountPoint + "/" + name);
    }
    bindSystemFolders(mountPoint);
}

void mirrorEntry(const std::string& source, const std::string& target) {
    struct stat st;
    if (lstat(source.c_str(), &st) != 0) return;  // gone meanwhile
    if (S_ISLNK(st.st_mode)) {
        char link[PATH_MAX];
        ssize_t n = readlink(source.c_str(), link, sizeof link - 1);
        if (n < 0 || symlink(std::string(link, size_t(n)).c_str(), target.c_str()) != 0)
            failed("copying the link " + source);
        return;
    }
    mountPointFor(source, target);
    bind(source, target, true);
}

void provideDlnkmgr(const std::string& folder, const std::string& script) {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) failed("reading /proc/self/exe");
    std::string self(exe, size_t(n));
    // The objects this process has loaded are exactly what it needs, each under the name the
    // loader looked it up by (its soname, not the file a link leads to).
    std::vector<std::string> libraries;
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && std::strchr(info->dlpi_name, '/'))
                static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
            return 0;
        },
        &libraries);
    std::string loader;
    for (const std::string& lib : libraries)
        if (baseName(lib).compare(0, 3, "ld-") == 0) loader = baseName(lib);
    if (loader.empty()) throw std::runtime_error("no dynamic loader among this process's maps");
    makeDirs(folder + "/lib");
    mountPointFor(self, folder + "/hdlm-sim");
    bind(self, folder + "/hdlm-sim", false);
    for (const std::string& lib : libraries) {
        mountPointFor(lib, folder + "/lib/" + baseName(lib));
        bind(lib, folder + "/lib/" + baseName(lib), false);
    }
    std::ofstream out(script, std::ios::trunc);
    out << "#!/bin/sh\n# The simulated dlnkmgr: hdlm-sim on the loader and libraries it was built "
           "for.\nexec "
        << folder << "/lib/" << loader << " --library-path " << folder << "/lib " << folder
        << "/hdlm-sim dlnkmgr \"$@\"\n";
    out.close();
    if (!out || chmod(script.c_str(), 0755) != 0) failed("writing " + script);
}

}  // namespace sim
