#include "child_status.h"

#include <sys/wait.h>

#include <csignal>
#include <cstring>  // sigabbrev_np (GNU)

namespace tslib {

std::string describe_signal(int signal_number) {
    std::string text = std::to_string(signal_number);
    if (const char* abbrev = sigabbrev_np(signal_number)) {
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
    if (signal_number > 0 && signal_number < NSIG && sigabbrev_np(signal_number) != nullptr) {
        text += " (or was killed by signal " + describe_signal(signal_number) + ')';
    }
    return text;
}

}  // namespace tslib
