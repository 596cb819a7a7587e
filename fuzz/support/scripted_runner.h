// The host's process runner replaced by a script: each command line the plug-in runs is answered
// by the first rule whose prefix starts it, and recorded. No process is ever started.
#pragma once
#include <string>
#include <vector>

namespace fuzzhost {

struct Reply {
    int status = 0;
    std::string output;
    std::string error;
};

// Forgets every rule and every recorded command.
void resetScript();
// Answers command lines that start with `commandPrefix` with `reply`.
void scriptReply(std::string commandPrefix, Reply reply);
// Every command line run since resetScript, in order.
const std::vector<std::string>& commandsRun();

// The status an unscripted command gets, like a shell that can't find the program.
constexpr int kUnscriptedStatus = 127;

}  // namespace fuzzhost
