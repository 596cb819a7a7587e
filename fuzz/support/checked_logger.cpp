#include "checked_logger.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "EvDebug.h"
#include "fuzz_check.h"
#include "log_line.h"

namespace fuzzhost {

namespace {
std::vector<LogRecord>& records() {
    static std::vector<LogRecord> list;
    return list;
}
}  // namespace

void resetLog() {
    records().clear();
}

const std::vector<LogRecord>& logRecords() {
    return records();
}

size_t countLogged(const std::string& prefix) {
    return static_cast<size_t>(std::count_if(
        records().begin(), records().end(),
        [&](const LogRecord& r) { return r.message.compare(0, prefix.size(), prefix) == 0; }));
}

}  // namespace fuzzhost

EvDebug::EvDebug(EvDebugFileInstance* file) : file_(file) {}

EvDebug::~EvDebug() = default;

void EvDebug::DebugLvl(const char* label, int level, const char* format, ...) {
    using namespace fuzzhost;
    FUZZ_CHECK(file_ == nullptr, "the plug-in logs to the default sink only");
    FUZZ_CHECK(label != nullptr && std::string(label).rfind("HDLM::", 0) == 0,
               std::string("label ") + (label ? label : "(null)"));
    FUZZ_CHECK(level == 0 || level == -1, "level " + std::to_string(level));
    FUZZ_CHECK(format != nullptr, "null format");
    if (label == nullptr || format == nullptr) return;

    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string message;
    if (needed > 0) {
        message.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(&message[0], message.size(), format, again);
        message.resize(static_cast<size_t>(needed));
    }
    va_end(again);
    FUZZ_CHECK(needed >= 0, std::string("unformattable message, format ") + format);

    // Whatever the plug-in puts in a message, the host's log keeps it on one line.
    const std::string line = tslib::format_log_line(label, level, message.data(), message.size());
    FUZZ_CHECK(!line.empty() && line.find('\n') == line.size() - 1,
               "a message became more than one log line: " + line);
    records().push_back(LogRecord{label, level, std::move(message)});
}
