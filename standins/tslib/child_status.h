// Turns how a child ended into the runner's result and a sentence for the caller.
#pragma once
#include <string>

namespace tslib {

// "9 (SIGKILL)"; an unknown number prints alone.
std::string describe_signal(int signal_number);

// The result of a waitpid() status: the exit status, or 128+N for death by signal N.
int result_from_wait_status(int wait_status);

// "exited with status 3" or "killed by signal 9 (SIGKILL)".
std::string sentence_from_wait_status(int wait_status);

// The sentence for a status that only a shell's $? reported (0..255): above 128 the shell can't
// tell an exit from a death by signal, so the sentence names both.
std::string sentence_from_shell_status(int shell_status);

}  // namespace tslib
