// Definitions of the host's runner and logger symbols (TsProcess::system, EvDebug), plus the
// scripts and records behind them and the partition reader's script.
#include "host_doubles.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <new>
#include <utility>

#include "EvDebug.h"
#include "TsProcess.h"
#include "hdlm_commands.h"
#include "log_line.h"
#include "process_runner.h"

namespace host_double {
namespace {

struct Answer {
    Reply reply;
    bool throws = false;
    bool throughShell = false;  // reply.output is dlnkmgr's, and the command runs for real
};

struct Runner {
    std::map<std::string, Answer> answers;
    std::vector<std::pair<std::string, Answer>> prefixes;  // in the order scripted
    std::map<std::string, std::function<void()>> actions;
    std::vector<RunRecord> runs;
};

struct Logger {
    std::vector<LogRecord> logs;
    bool throws = false;
};

struct State {
    Runner runner;
    Logger logger;
    std::map<const EvDebug*, int> liveLoggers;  // object -> DebugLvl calls so far
    std::vector<std::string> misuse;
    PartitionScript partitions;
};

State& state() {
    static State s;
    return s;
}

MisuseReport reporter = nullptr;

void breach(std::string what) {
    if (reporter != nullptr)
        reporter(what);
    else
        state().misuse.push_back(std::move(what));
}

const Answer* answerFor(const std::string& command) {
    const Runner& runner = state().runner;
    if (const auto exact = runner.answers.find(command); exact != runner.answers.end())
        return &exact->second;
    for (const auto& [prefix, answer] : runner.prefixes)
        if (command.compare(0, prefix.size(), prefix) == 0) return &answer;
    return nullptr;
}

}  // namespace

void reset() {
    state() = State();
}

void resetRunner() {
    state().runner = Runner();
}

void resetLogger() {
    state().logger = Logger();
}

void answer(const std::string& command, int status, const std::string& output,
            const std::string& error) {
    state().runner.answers[command] = Answer{Reply{status, output, error}};
}

void answerPrefix(const std::string& prefix, const Reply& reply) {
    state().runner.prefixes.emplace_back(prefix, Answer{reply});
}

void answerThroughShell(const std::string& command, const std::string& dlnkmgrOutput) {
    state().runner.answers[command] = Answer{Reply{0, dlnkmgrOutput, ""}, false, true};
}

void throwOn(const std::string& command) {
    state().runner.answers[command].throws = true;
}

void onRun(const std::string& command, std::function<void()> action) {
    state().runner.actions[command] = std::move(action);
}

const std::vector<RunRecord>& runs() {
    return state().runner.runs;
}

std::vector<std::string> commands() {
    std::vector<std::string> all;
    for (const RunRecord& run : state().runner.runs) all.push_back(run.command);
    return all;
}

const std::vector<LogRecord>& logs() {
    return state().logger.logs;
}

std::vector<LogRecord> logsWithLabel(const std::string& label) {
    std::vector<LogRecord> found;
    for (const LogRecord& line : logs())
        if (line.label == label) found.push_back(line);
    return found;
}

std::vector<LogRecord> logsContaining(const std::string& fragment) {
    std::vector<LogRecord> found;
    for (const LogRecord& line : logs())
        if (line.message.find(fragment) != std::string::npos) found.push_back(line);
    return found;
}

size_t countLogged(const std::string& prefix) {
    return static_cast<size_t>(std::count_if(logs().begin(), logs().end(), [&](const LogRecord& r) {
        return r.message.compare(0, prefix.size(), prefix) == 0;
    }));
}

void throwFromLogger(bool on) {
    state().logger.throws = on;
}

std::vector<std::string> misuse() {
    std::vector<std::string> all = state().misuse;
    if (!state().liveLoggers.empty()) all.emplace_back("a logger object was never destroyed");
    return all;
}

void reportMisuseTo(MisuseReport report) {
    reporter = report;
}

void scriptPartitions(int result, const std::vector<slice>& slices) {
    PartitionScript& script = partitionScript();
    script.scripted = true;
    script.result = result;
    script.slices = slices;
}

void useRealPartitionReader() {
    partitionScript().real = true;
}

const std::vector<std::string>& partitionReads() {
    return partitionScript().reads;
}

PartitionScript& partitionScript() {
    return state().partitions;
}

}  // namespace host_double

using host_double::breach;
using host_double::state;

int TsProcess::system(const char* command, std::string* output, std::string* error,
                      int timeoutSeconds, bool mergeStderr) {
    // The plug-in leaves timeouts to the host and keeps standard error apart.
    if (timeoutSeconds != 0) breach("timeout argument " + std::to_string(timeoutSeconds));
    if (mergeStderr) breach("a command run with stderr merged into its output");
    if (command == nullptr) {
        breach("a null command run");
        return -1;
    }
    // Every command runs in the plug-in's pinned environment; scripts and records hold the
    // command after it.
    const std::string& pinning = hdlm_commands::pinned_environment;
    const std::string pinned = command;
    std::string bare = pinned;
    if (bare.compare(0, pinning.size(), pinning) == 0)
        bare.erase(0, pinning.size());
    else
        breach("a command run outside the pinned environment: " + bare);
    state().runner.runs.push_back(host_double::RunRecord{bare, timeoutSeconds, mergeStderr,
                                                         output != nullptr, error != nullptr});
    const auto& actions = state().runner.actions;
    if (const auto action = actions.find(bare); action != actions.end()) action->second();
    const host_double::Answer* found = host_double::answerFor(bare);
    if (found == nullptr) {
        if (output) output->clear();
        if (error) *error = "command not scripted: " + bare;
        return host_double::kUnscriptedStatus;
    }
    if (found->throws) throw std::bad_alloc();
    if (found->throughShell) {
        // A shell function takes the place of dlnkmgr, inside $(...) too.
        const testsupport::ProgramResult ran =
            testsupport::runShell("dlnkmgr() { printf '%s' " +
                                  testsupport::shellQuote(found->reply.output) + "; }; " + pinned);
        if (output) *output = ran.out;
        if (error) *error = ran.err;
        return ran.status;
    }
    // Like the real runner: both strings are replaced, never appended to.
    if (output) *output = found->reply.output;
    if (error) *error = found->reply.error;
    return found->reply.status;
}

EvDebug::EvDebug(EvDebugFileInstance* file) : file_(file) {
    if (file != nullptr) breach("logger made with a non-null file instance");
    state().liveLoggers[this] = 0;
}

EvDebug::~EvDebug() {
    const auto found = state().liveLoggers.find(this);
    if (found != state().liveLoggers.end() && found->second != 1)
        breach("logger destroyed after " + std::to_string(found->second) + " DebugLvl calls");
    state().liveLoggers.erase(this);
}

void EvDebug::DebugLvl(const char* label, int level, const char* format, ...) {
    ++state().liveLoggers[this];
    if (state().logger.throws) throw std::bad_alloc();
    if (label == nullptr || std::string(label).rfind("HDLM::", 0) != 0)
        breach(std::string("label ") + (label ? label : "(null)"));
    if (level != 0 && level != -1) breach("level " + std::to_string(level));
    if (format == nullptr) breach("null format");
    if (label == nullptr || format == nullptr) return;

    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string message(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    if (needed > 0) std::vsnprintf(message.data(), message.size() + 1, format, again);
    va_end(again);
    if (needed < 0) breach(std::string("unformattable message, format ") + format);

    // Whatever the plug-in puts in a message, the host's log keeps it on one line.
    const std::string line = tslib::format_log_line(label, level, message.data(), message.size());
    if (line.empty() || line.find('\n') != line.size() - 1)
        breach("a message became more than one log line: " + line);
    state().logger.logs.push_back(host_double::LogRecord{label, level, std::move(message)});
}
