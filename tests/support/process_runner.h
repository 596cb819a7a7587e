// Runs a program with its own stdout and stderr captured, optionally in a session of its own
// and under a time limit, and says how it ended.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

struct ProgramOptions {
    std::vector<std::string> extraEnvironment;  // NAME=value, added to this process's
    bool newSession = false;                    // setsid: everything it starts is findable
    int timeoutSeconds = 120;                   // then its group is killed
};

struct ProgramResult {
    pid_t pid = 0;    // also the session id with newSession
    int status = -1;  // exit status, 128+N when killed by signal N
    bool timedOut = false;
    double seconds = 0;
    std::string out;
    std::string err;
    std::string describe() const;  // status, stdout and stderr, for a failure message
    std::string output() const { return out + err; }  // both streams, for searching either
};

// Runs `argv` (looked up in PATH), stdin from /dev/null. Throws std::runtime_error when the
// program can't be started.
ProgramResult runProgram(const std::vector<std::string>& argv, const ProgramOptions& options = {});

// Runs `script` with /bin/sh -c.
ProgramResult runShell(const std::string& script, const ProgramOptions& options = {});

// `text` quoted for /bin/sh.
std::string shellQuote(const std::string& text);

// Reaps ended children of this process that nobody waits for (this process may be their
// subreaper).
void reapStrayChildren();

}  // namespace testsupport
