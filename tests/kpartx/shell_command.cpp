#include "shell_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <memory>

namespace {

struct PipeCloser {
    int* status;
    void operator()(FILE* pipe) const noexcept { *status = pclose(pipe); }
};

}  // namespace

CommandResult runShell(const std::string& command) {
    CommandResult result;
    int waitStatus = -1;
    {
        std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "re"),
                                               PipeCloser{&waitStatus});
        if (!pipe) return result;
        char buffer[4096];
        size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
            result.output.append(buffer, n);
    }
    if (waitStatus != -1 && WIFEXITED(waitStatus)) result.status = WEXITSTATUS(waitStatus);
    return result;
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
