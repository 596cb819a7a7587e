#include "process_runner.h"

#include "spawn_settings.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {
namespace {

class MemoryFile {
public:
    explicit MemoryFile(const char* name) : fd_(memfd_create(name, MFD_CLOEXEC)) {
        if (fd_ < 0) throw std::runtime_error(std::string("memfd_create: ") + std::strerror(errno));
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    int fd() const { return fd_; }
    std::string contents() const {
        std::string text;
        char buf[65536];
        for (off_t at = 0;;) {
            ssize_t n = pread(fd_, buf, sizeof buf, at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            text.append(buf, size_t(n));
            at += n;
        }
        return text;
    }

private:
    int fd_;
};

int decode(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return -1;
}

}  // namespace

std::string ProgramResult::describe() const {
    std::string text =
        "status " + std::to_string(status) + (timedOut ? " (timed out, killed)" : "") + " after " +
        std::to_string(seconds) + " s\n--- stdout ---\n" + out + "--- stderr ---\n" + err;
    return text;
}

ProgramResult runProgram(const std::vector<std::string>& argv, const ProgramOptions& options) {
    MemoryFile out("stdout"), err("stderr");
    SpawnFileActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), out.fd(), 1);
    posix_spawn_file_actions_adddup2(actions.get(), err.fd(), 2);
    SpawnAttributes attributes;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(attributes.get(), &none);
    posix_spawnattr_setsigdefault(attributes.get(), &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.newSession)
        flags |= POSIX_SPAWN_SETSID;
    else {
        flags |= POSIX_SPAWN_SETPGROUP;  // a group of its own, so a timeout can end all of it
        posix_spawnattr_setpgroup(attributes.get(), 0);
    }
    posix_spawnattr_setflags(attributes.get(), flags);

    // An extra NAME=value replaces this process's NAME, which would otherwise be found first.
    std::vector<std::string> environment = options.extraEnvironment;
    for (char** e = environ; *e; ++e) {
        const std::string inherited(*e);
        const std::string name = inherited.substr(0, inherited.find('=') + 1);
        bool replaced = false;
        for (const std::string& extra : options.extraEnvironment)
            replaced = replaced || extra.compare(0, name.size(), name) == 0;
        if (!replaced) environment.push_back(inherited);
    }
    std::vector<char*> envp, args;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (std::string& a : argvCopy) args.push_back(a.data());
    args.push_back(nullptr);

    ProgramResult result;
    auto start = std::chrono::steady_clock::now();
    int rc = posix_spawnp(&result.pid, args[0], actions.get(), attributes.get(), args.data(),
                          envp.data());
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));

    auto deadline = start + std::chrono::seconds(options.timeoutSeconds);
    int waitStatus = 0;
    for (;;) {
        pid_t done = waitpid(result.pid, &waitStatus, WNOHANG);
        if (done == result.pid) break;
        if (done < 0 && errno != EINTR)
            throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
        if (!result.timedOut && std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(-result.pid, SIGKILL);  // its group (or session leader's group): all of it
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = decode(waitStatus);
    result.out = out.contents();
    result.err = err.contents();
    return result;
}

ProgramResult runShell(const std::string& script, const ProgramOptions& options) {
    return runProgram({"/bin/sh", "-c", script}, options);
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void reapStrayChildren() {
    int status;
    while (waitpid(-1, &status, WNOHANG) > 0) {
    }
}

}  // namespace testsupport
