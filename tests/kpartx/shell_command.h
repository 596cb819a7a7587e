// Runs a shell command for a test fixture and keeps its standard output; its standard error
// goes to the test's own, where ctest shows it on failure.
#pragma once
#include <string>

struct CommandResult {
    int status = -1;     // exit status, or -1 when the shell could not run it to the end
    std::string output;  // standard output
};

CommandResult runShell(const std::string& command);

// `text` quoted for /bin/sh.
std::string shellQuote(const std::string& text);
