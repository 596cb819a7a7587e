#include "sandbox/child_process.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace sim {
namespace {

volatile sig_atomic_t childPid = 0;
const int kForwarded[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void forward(int sig, siginfo_t* info, void*) {
    // si_code <= 0: sent by a process (kill, sigqueue); terminal signals already reached the
    // child, which shares our process group.
    if (childPid > 0 && info && info->si_code <= 0) kill(pid_t(childPid), sig);
}

}  // namespace

int runForwardingSignals(const std::vector<std::string>& argv, const std::string& root,
                         const std::string& startDir) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = forward;
    // No SA_RESTART: the waitpid below must return EINTR. A runtime that defers handlers to its
    // next intercepted call (ThreadSanitizer's) would otherwise forward nothing until the
    // command ended by itself; the loop below waits again after EINTR.
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    struct sigaction old[4];
    for (int i = 0; i < 4; ++i) sigaction(kForwarded[i], &sa, &old[i]);

    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        fprintf(stderr, "hdlm-sim: cannot start the command: fork: %s\n", strerror(errno));
        return 125;
    }
    if (pid == 0) {
        for (int i = 0; i < 4; ++i) sigaction(kForwarded[i], &old[i], nullptr);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(137);  // the simulator died before we got here
        if (!root.empty() && (chroot(root.c_str()) != 0 || chdir(startDir.c_str()) != 0)) {
            fprintf(stderr, "hdlm-sim: cannot enter the root file system at %s: %s\n",
                    startDir.c_str(), strerror(errno));
            _exit(125);
        }
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        int err = errno;
        fprintf(stderr, "hdlm-sim: cannot run %s: %s\n", args[0], strerror(err));
        _exit(err == ENOENT ? 127 : 126);
    }
    childPid = pid;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) {
            fprintf(stderr, "hdlm-sim: waiting for the command: %s\n", strerror(errno));
            return 125;
        }
    childPid = 0;
    for (int i = 0; i < 4; ++i) sigaction(kForwarded[i], &old[i], nullptr);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 125;
}

}  // namespace sim
