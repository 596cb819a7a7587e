// The host's process runner: runs one shell command line and captures what it prints.
#pragma once
#include <string>

class TsProcess {
public:
    // Runs `/bin/sh -c command`. Returns the shell's exit status, 128+N when killed by signal N,
    // 124 on timeout, -1 when the shell could not be started or its output overflowed.
    // *output and *error are replaced (either may be null: discarded). timeoutSeconds 0 takes
    // TS_PROCESS_TIMEOUT from the environment, default 300. mergeStderr sends stderr to *output.
    // Never throws; safe to call from several threads at once. A thread the host cancels while
    // the command runs unwinds from here (abi::__forced_unwind), the command killed and reaped.
    static int system(const char* command, std::string* output, std::string* error,
                      int timeoutSeconds, bool mergeStderr);
};
