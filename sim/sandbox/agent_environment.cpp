#include "sandbox/agent_environment.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "sandbox/mount_steps.h"
#include "sandbox/other_root.h"
#include "unique_fd.h"

namespace sim {
namespace {

// A userland the command can be given: the binary, its Debian package, the tools it becomes.
struct Userland {
    const char* name;
    const char* binary;
    std::vector<const char*> tools;  // "sh" is /bin/sh; the others are looked up on PATH
};

const Userland kUserlands[] = {
    {"bash", "bash", {"sh"}},  // RHEL, SLES
    {"busybox", "busybox", {"sh", "awk", "grep"}},
    {"mawk", "mawk", {"awk"}},  // a plain Debian or Ubuntu host
};

const Userland* userlandNamed(const std::string& name) {
    for (const Userland& u : kUserlands)
        if (name == u.name) return &u;
    return nullptr;
}

// The first executable `name` on the caller's PATH, then on the usual system folders; "" if none.
std::string findOnPath(const std::string& name) {
    const char* path = getenv("PATH");
    std::string dirs = std::string(path ? path : "") + ":" + kServicePath + ":/sbin:/bin";
    std::istringstream in(dirs);
    for (std::string dir; std::getline(in, dir, ':');) {
        if (dir.empty() || dir[0] != '/') continue;
        std::string candidate = dir + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// The file a path finally leads to: a bind mount on a link lands there.
std::string finalTarget(const std::string& path) {
    std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
    if (!real) failed("resolving " + path);
    return real.get();
}

void bindFile(const std::string& source, const std::string& target) {
    bind(source, target, false);
}

std::string toolPath(const std::string& tool) {
    if (tool == "sh") return "/bin/sh";
    std::string found = findOnPath(tool);
    if (found.empty())
        throw std::runtime_error(
            "no " + tool + " on PATH to replace; install it (apt-get install " +
            (tool == "grep" ? std::string("grep") : std::string("gawk")) + ")");
    return found;
}

void bindUserland(const Userland& u, const ProgressLine& progress) {
    std::string binary = finalTarget(findOnPath(u.binary));
    for (const char* tool : u.tools) {
        std::string path = toolPath(tool);
        std::string target = finalTarget(path);
        bindFile(binary, target);
        progress(std::string("--userland ") + u.name + ": " + binary + " bound on " + target +
                 " (" + path + ")");
    }
}

// grep as before 3.6: GREP_OPTIONS, split into words (no globbing), goes before the arguments;
// silently, as 2.x did. The grep in use is kept in a folder of its own under the name grep (a
// multi-call binary picks grep by it, and grep's messages say "grep:"); the wrapper finds it
// there first on PATH, and that folder holds no wrapper, so the wrapper cannot call itself.
void bindOldGrep(const std::string& workDir, const ProgressLine& progress) {
    std::string path = toolPath("grep");
    std::string target = finalTarget(path);
    std::string dir = workDir + "/old-grep";
    std::string kept = dir + "/grep";
    std::string wrapper = workDir + "/grep-wrapper";
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) failed("creating " + dir);
    {
        std::ofstream placeholder(kept);
        std::ofstream out(wrapper);
        out << "#!/bin/sh\n"
               "# grep as GNU grep before 3.6: GREP_OPTIONS first (hdlm-sim --old-grep)\n"
               "set -f\n"
               "PATH="
            << dir << ":$PATH exec grep $GREP_OPTIONS \"$@\"\n";
        if (!placeholder || !out) failed("writing " + wrapper);
    }
    if (chmod(wrapper.c_str(), 0755) != 0) failed("making " + wrapper + " executable");
    bindFile(target, kept);  // before the wrapper covers it: the real grep (or busybox's)
    bindFile(wrapper, target);
    progress("--old-grep: " + target + " (" + path + ") kept at " + kept + "; " + wrapper +
             " bound on " + target);
}

// A tmpfs on /opt holding the machine's entries bound back in, and HDLM's folder (which covers
// one the machine might have).
void coverOpt(const std::string& opt, const ProgressLine& progress) {
    UniqueFd real(open(opt.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!real.valid()) failed("opening " + opt);
    std::vector<std::string> entries;
    {
        DirHandle dir(opendir(opt.c_str()));
        if (!dir) failed("listing " + opt);
        while (dirent* e = readdir(dir.get())) {
            std::string name = e->d_name;
            if (name != "." && name != ".." && name != "DynamicLinkManager")
                entries.push_back(name);
        }
    }
    if (mount("tmpfs", opt.c_str(), "tmpfs", MS_NOSUID, "mode=0755") != 0)
        failed("mounting a tmpfs on " + opt);
    const std::string from = "/proc/self/fd/" + std::to_string(real.get()) + "/";
    for (const std::string& name : entries) {
        mirrorEntry(from + name, opt + "/" + name);
    }
    progress("--service-path: a tmpfs on " + opt + " with its " + std::to_string(entries.size()) +
             " entries bound back in");
}

}  // namespace

std::pair<std::string, std::string> parseEnvAssignment(const std::string& text) {
    size_t eq = text.find('=');
    std::string name = text.substr(0, eq);
    bool valid = eq != std::string::npos && !name.empty() && !(name[0] >= '0' && name[0] <= '9');
    for (char c : name)
        valid = valid && (c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9'));
    if (!valid)
        throw std::runtime_error("--env '" + text +
                                 "': expected NAME=VALUE, NAME made of letters, digits and _ "
                                 "and not starting with a digit");
    return {name, text.substr(eq + 1)};
}

std::string unavailableEnvironment(const AgentEnvironment& env) {
    if (!env.userland.empty()) {
        const Userland* u = userlandNamed(env.userland);
        if (!u) return "--userland '" + env.userland + "': must be bash, busybox or mawk";
        if (findOnPath(u->binary).empty())
            return std::string("--userland ") + u->name + ": no " + u->binary +
                   " on this machine; install the package (apt-get install " + u->binary + ")";
    }
    if (!env.lang.empty()) {
        // Asked of the C library itself: an unknown locale would silently act as C.
        locale_t l = newlocale(LC_ALL_MASK, env.lang.c_str(), nullptr);
        if (l == nullptr)
            return "--lang " + env.lang +
                   ": this machine has not generated that locale, so the command would run in "
                   "the C locale; enable it in /etc/locale.gen and run locale-gen";
        freelocale(l);
    }
    return {};
}

std::string unsupportedInOtherRoot(const AgentEnvironment& env) {
    std::string names;
    // The root's own binaries and locales would be the ones to check and bind.
    for (auto [given, name] : {std::pair<bool, const char*>{!env.userland.empty(), "--userland"},
                               {!env.lang.empty(), "--lang"},
                               {env.oldGrep, "--old-grep"}})
        if (given) names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

bool bindAgentEnvironment(const AgentEnvironment& env, const std::string& workDir,
                          const std::string& dlnkmgr, const std::string& hostRoot,
                          const ProgressLine& progress) {
    if (!env.userland.empty()) bindUserland(*userlandNamed(env.userland), progress);
    if (env.oldGrep) bindOldGrep(workDir, progress);
    if (!env.servicePath) return false;
    struct stat st;
    if (stat("/opt", &st) == 0 && S_ISDIR(st.st_mode)) {
        coverOpt(finalTarget("/opt"), progress);
        addHdlmLayout("", dlnkmgr, progress);
        return false;
    }
    progress("--service-path: no /opt on this machine: the command runs in its root rebuilt at " +
             hostRoot + " (every top-level entry bound in) with /opt added");
    assembleHostRoot(hostRoot);
    addHdlmLayout(hostRoot, dlnkmgr, progress);
    return true;
}

void addHdlmLayout(const std::string& root, const std::string& dlnkmgr,
                   const ProgressLine& progress) {
    std::string dir = root + kHdlmBinDir;
    makeDirs(dir);
    std::string link = dir + "/dlnkmgr";
    if (symlink(dlnkmgr.c_str(), link.c_str()) != 0) failed("linking " + link);
    progress("--service-path: " + std::string(kHdlmBinDir) + "/dlnkmgr -> " + dlnkmgr +
             "; PATH=" + kServicePath);
}

void setAgentVariables(const AgentEnvironment& env, const std::string& defaultPath) {
    setenv("PATH", env.servicePath ? kServicePath : defaultPath.c_str(), 1);
    if (!env.lang.empty()) {
        // As systemd starts a service: LANG only.
        std::vector<std::string> unset = {"LANGUAGE"};
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "LC_", 3) == 0)
                unset.push_back(std::string(*e).substr(0, std::strcspn(*e, "=")));
        for (const std::string& name : unset) unsetenv(name.c_str());
        setenv("LANG", env.lang.c_str(), 1);
    }
    for (const auto& [name, value] : env.variables) setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace sim
