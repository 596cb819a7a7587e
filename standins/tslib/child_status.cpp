#include "child_status.h"

#include <sys/wait.h>

#include <csignal>

namespace tslib {

namespace {

// The kernel's names of the standard signals, by number. Hosts as old as glibc 2.28 have no
// sigabbrev_np, so the library keeps its own table; real-time signals have no abbreviation.
const char* signal_abbreviation(int signal_number) {
    static constexpr const char* kNames[] = {
        nullptr,  "HUP",  "INT",    "QUIT", "ILL",   "TRAP", "ABRT", "BUS",
        "FPE",    "KILL", "USR1",   "SEGV", "USR2",  "PIPE", "ALRM", "TERM",
        "STKFLT", "CHLD", "CONT",   "STOP", "TSTP",  "TTIN", "TTOU", "URG",
        "XCPU",   "XFSZ", "VTALRM", "PROF", "WINCH", "POLL", "PWR",  "SYS"};
    constexpr int kCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);
    return signal_number > 0 && signal_number < kCount ? kNames[signal_number] : nullptr;
}

}  // namespace

std::string describe_signal(int signal_number) {
    std::string text = std::to_string(signal_number);
    if (const char* abbrev = signal_abbreviation(signal_number)) {
        text += " (SIG";
        text += abbrev;
        text += ')';
    }
    return text;
}

int result_from_wait_status(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return -1;  // stopped or continued: never asked for, never reported as an end
}

std::string sentence_from_wait_status(int wait_status) {
    if (WIFSIGNALED(wait_status))
        return "killed by signal " + describe_signal(WTERMSIG(wait_status));
    return "exited with status " + std::to_string(result_from_wait_status(wait_status));
}

std::string sentence_from_shell_status(int shell_status) {
    std::string text = "exited with status " + std::to_string(shell_status);
    const int signal_number = shell_status - 128;
    if (signal_number > 0 && signal_number < NSIG &&
        signal_abbreviation(signal_number) != nullptr) {
        text += " (or was killed by signal " + describe_signal(signal_number) + ')';
    }
    return text;
}

}  // namespace tslib
