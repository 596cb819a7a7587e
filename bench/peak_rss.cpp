// peak-rss: runs a command and reports the peak resident memory of that process itself (its
// VmHWM, read at the moment it exits, before its memory is released) and of the largest process
// of its whole tree (what wait4 reports, which includes every child the command reaped).
//   peak-rss [--output FILE] -- COMMAND [ARG...]
// Prints "command_peak_rss_kib=N tree_peak_rss_kib=M exit_status=S" to FILE (or stderr) and
// exits with the command's own exit status (128+N when a signal N ended it).
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// VmHWM of a stopped process, in KiB; -1 when it can't be read.
long highWaterMarkKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int usage() {
    std::fprintf(stderr, "usage: peak-rss [--output FILE] -- COMMAND [ARG...]\n");
    return 2;
}

[[noreturn]] void startTraced(char** command) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "peak-rss: ptrace(PTRACE_TRACEME) failed: %s\n", std::strerror(errno));
        _exit(126);
    }
    raise(SIGSTOP);  // lets the parent set its options before the command starts
    execvp(command[0], command);
    std::fprintf(stderr, "peak-rss: cannot run %s: %s\n", command[0], std::strerror(errno));
    _exit(127);
}

}  // namespace

int main(int argc, char** argv) {
    const char* outputPath = nullptr;
    int first = 1;
    while (first < argc && std::strcmp(argv[first], "--") != 0) {
        if (std::strcmp(argv[first], "--output") == 0 && first + 1 < argc) {
            outputPath = argv[first + 1];
            first += 2;
        } else {
            return usage();
        }
    }
    if (first + 1 >= argc) return usage();
    char** command = argv + first + 1;

    const pid_t pid = fork();
    if (pid < 0) {
        std::fprintf(stderr, "peak-rss: fork failed: %s\n", std::strerror(errno));
        return 126;
    }
    if (pid == 0) startTraced(command);

    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) {
        std::fprintf(stderr, "peak-rss: the command did not stop for tracing\n");
        return 126;
    }
    // Stop at its exit (memory still mapped) and at its exec (not a signal to pass on); if this
    // tool dies, the command dies with it.
    ptrace(PTRACE_SETOPTIONS, pid, nullptr,
           PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL);
    ptrace(PTRACE_CONT, pid, nullptr, nullptr);

    long commandKib = -1;
    rusage usage{};
    while (true) {
        const pid_t waited = wait4(pid, &status, 0, &usage);
        if (waited < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "peak-rss: wait4 failed: %s\n", std::strerror(errno));
            return 126;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) break;
        if (!WIFSTOPPED(status)) continue;
        const int event = status >> 16;
        int deliver = 0;
        if (event == PTRACE_EVENT_EXIT) {
            commandKib = highWaterMarkKib(pid);
        } else if (event == 0 && WSTOPSIG(status) != SIGTRAP) {
            deliver = WSTOPSIG(status);  // an ordinary signal: the command gets it as sent
        }
        // ptrace takes the signal to deliver in its pointer-sized data argument.
        // NOLINTNEXTLINE(performance-no-int-to-ptr): that argument is an integer by contract
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(deliver)));
    }

    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    char line[160];
    std::snprintf(line, sizeof line,
                  "command_peak_rss_kib=%ld tree_peak_rss_kib=%ld exit_status=%d\n", commandKib,
                  usage.ru_maxrss, exitStatus);
    if (outputPath != nullptr) {
        std::ofstream out(outputPath);
        out << line;
        if (!out) {
            std::fprintf(stderr, "peak-rss: cannot write %s\n", outputPath);
            return 126;
        }
    } else {
        std::fputs(line, stderr);
    }
    return exitStatus;
}
