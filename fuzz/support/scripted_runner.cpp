// TsProcess::system, as the plug-in calls it, answered from the script.
#include "scripted_runner.h"

#include <utility>

#include "TsProcess.h"
#include "fuzz_check.h"

namespace fuzzhost {

namespace {

struct Rule {
    std::string prefix;
    Reply reply;
};

std::vector<Rule>& rules() {
    static std::vector<Rule> list;
    return list;
}

std::vector<std::string>& record() {
    static std::vector<std::string> list;
    return list;
}

}  // namespace

void resetScript() {
    rules().clear();
    record().clear();
}

void scriptReply(std::string commandPrefix, Reply reply) {
    rules().push_back(Rule{std::move(commandPrefix), std::move(reply)});
}

const std::vector<std::string>& commandsRun() {
    return record();
}

}  // namespace fuzzhost

int TsProcess::system(const char* command, std::string* output, std::string* error,
                      int timeoutSeconds, bool mergeStderr) {
    using namespace fuzzhost;
    FUZZ_CHECK(command != nullptr, "the plug-in ran a null command");
    // The plug-in leaves timeouts to the host and keeps standard error apart.
    FUZZ_CHECK(timeoutSeconds == 0, "timeout argument " + std::to_string(timeoutSeconds));
    FUZZ_CHECK(!mergeStderr, "the plug-in asked for stderr merged into the output");
    if (command == nullptr) return -1;
    const std::string line = command;
    record().push_back(line);
    for (const Rule& rule : rules()) {
        if (line.compare(0, rule.prefix.size(), rule.prefix) != 0) continue;
        // Like the real runner: both strings are replaced, never appended to.
        if (output != nullptr) *output = rule.reply.output;
        if (error != nullptr) *error = rule.reply.error;
        return rule.reply.status;
    }
    if (output != nullptr) output->clear();
    if (error != nullptr) *error = "sh: 1: unscripted command";
    return kUnscriptedStatus;
}
