// Definitions of the host's symbols that interpose over libTsLib.so and libkpartx.so (this
// executable exports them), plus the scripts and records behind them.
#include "host_doubles.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <new>
#include <set>
#include <utility>

#include "EvDebug.h"
#include "TsProcess.h"
#include "process_runner.h"

namespace host_double {
namespace {

struct Answer {
    int status = 0;
    std::string output;
    std::string error;
    bool throws = false;
    bool throughShell = false;  // `output` is dlnkmgr's, and the command runs for real
};

struct State {
    std::map<std::string, Answer> answers;
    std::map<std::string, std::function<void()>> actions;
    std::vector<RunRecord> runs;
    std::vector<LogRecord> logs;
    std::vector<std::string> misuse;
    std::map<const EvDebug*, int> liveLoggers;  // object -> DebugLvl calls so far
    bool loggerThrows = false;
    bool partitionsScripted = false;
    bool realPartitions = false;
    int partitionResult = 0;
    std::vector<slice> slices;
    std::vector<std::string> partitionReads;
};

State& state() {
    static State s;
    return s;
}

}  // namespace

void reset() {
    state() = State();
}

void answer(const std::string& command, int status, const std::string& output,
            const std::string& error) {
    state().answers[command] = Answer{status, output, error, false};
}

void answerThroughShell(const std::string& command, const std::string& dlnkmgrOutput) {
    state().answers[command] = Answer{0, dlnkmgrOutput, "", false, true};
}

void throwOn(const std::string& command) {
    state().answers[command].throws = true;
}

void onRun(const std::string& command, std::function<void()> action) {
    state().actions[command] = std::move(action);
}

const std::vector<RunRecord>& runs() {
    return state().runs;
}

std::vector<std::string> commands() {
    std::vector<std::string> all;
    for (const RunRecord& run : state().runs) all.push_back(run.command);
    return all;
}

const std::vector<LogRecord>& logs() {
    return state().logs;
}

std::vector<LogRecord> logsWithLabel(const std::string& label) {
    std::vector<LogRecord> found;
    for (const LogRecord& line : state().logs)
        if (line.label == label) found.push_back(line);
    return found;
}

std::vector<LogRecord> logsContaining(const std::string& fragment) {
    std::vector<LogRecord> found;
    for (const LogRecord& line : state().logs)
        if (line.message.find(fragment) != std::string::npos) found.push_back(line);
    return found;
}

std::vector<std::string> loggerMisuse() {
    std::vector<std::string> misuse = state().misuse;
    if (!state().liveLoggers.empty()) misuse.emplace_back("a logger object was never destroyed");
    return misuse;
}

void throwFromLogger(bool on) {
    state().loggerThrows = on;
}

void scriptPartitions(int result, const std::vector<slice>& slices) {
    state().partitionsScripted = true;
    state().partitionResult = result;
    state().slices = slices;
}

void useRealPartitionReader() {
    state().realPartitions = true;
}

const std::vector<std::string>& partitionReads() {
    return state().partitionReads;
}

}  // namespace host_double

using host_double::state;

int TsProcess::system(const char* command, std::string* output, std::string* error,
                      int timeoutSeconds, bool mergeStderr) {
    state().runs.push_back(host_double::RunRecord{command, timeoutSeconds, mergeStderr,
                                                  output != nullptr, error != nullptr});
    if (const auto action = state().actions.find(command); action != state().actions.end())
        action->second();
    const auto found = state().answers.find(command);
    if (found == state().answers.end()) {
        if (output) output->clear();
        if (error) *error = std::string("command not scripted: ") + command;
        return 127;
    }
    if (found->second.throws) throw std::bad_alloc();
    if (found->second.throughShell) {
        // A shell function takes the place of dlnkmgr, inside $(...) too.
        const testsupport::CommandResult ran = testsupport::runShell(
            "dlnkmgr() { printf '%s' " + testsupport::shellQuote(found->second.output) + "; }; " +
            command);
        if (output) *output = ran.out;
        if (error) *error = ran.err;
        return ran.status;
    }
    // Like the real runner: both strings are replaced, never appended to.
    if (output) *output = found->second.output;
    if (error) *error = found->second.error;
    return found->second.status;
}

EvDebug::EvDebug(EvDebugFileInstance* file) : file_(file) {
    if (file != nullptr) state().misuse.emplace_back("logger made with a non-null file instance");
    state().liveLoggers[this] = 0;
}

EvDebug::~EvDebug() {
    const auto found = state().liveLoggers.find(this);
    if (found != state().liveLoggers.end() && found->second != 1)
        state().misuse.push_back("logger destroyed after " + std::to_string(found->second) +
                                 " DebugLvl calls");
    state().liveLoggers.erase(this);
}

void EvDebug::DebugLvl(const char* label, int level, const char* format, ...) {
    ++state().liveLoggers[this];
    if (state().loggerThrows) throw std::bad_alloc();
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::vsnprintf(message.data(), message.size() + 1, format, args);
    va_end(args);
    state().logs.push_back(host_double::LogRecord{label, level, message});
}

int getPartitions(const char* device, std::list<slice>& slices) {
    state().partitionReads.emplace_back(device);
    if (state().realPartitions) {
        // The real reader comes next in the search order under the same (mangled) name as
        // this definition.
        using Reader = int (*)(const char*, std::list<slice>&);
        static const Reader real = [] {
            Dl_info self{};
            const Reader own = &getPartitions;
            if (dladdr(reinterpret_cast<void*>(own), &self) == 0 || self.dli_sname == nullptr)
                return Reader{};
            return reinterpret_cast<Reader>(dlsym(RTLD_NEXT, self.dli_sname));
        }();
        if (real == nullptr) return -ENOSYS;
        return real(device, slices);
    }
    if (!state().partitionsScripted) return -ENOSYS;
    slices.insert(slices.end(), state().slices.begin(), state().slices.end());
    return state().partitionResult;
}
