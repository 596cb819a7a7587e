// EvDebug: the host's logger. Formats one message and hands it to the sink as one line.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "exported_api.h"
#include "log_line.h"
#include "log_sink.h"
#include "thread_cancellation.h"

// The sink object of the real host is opaque to us; every instance, null included, writes to the
// default sink.
EvDebug::EvDebug(EvDebugFileInstance* file) : file_(file) {}

EvDebug::~EvDebug() = default;

void EvDebug::DebugLvl(const char* label, int level, const char* format, ...) {
    (void)file_;
    // Logging is no place to end a thread: the open, write and close below are cancellation
    // points inside noexcept code. A cancellation requested meanwhile acts at the caller's next
    // one.
    const cancellation::CancellationHeld cancellation;
    try {
        std::string message;
        if (format != nullptr) {
            // Format into a small buffer first; a longer message is formatted again into a
            // buffer of its exact size, so no line is ever cut.
            char small[512];
            va_list args;
            va_start(args, format);
            const int needed = std::vsnprintf(small, sizeof small, format, args);
            va_end(args);
            if (needed < 0) {
                message = "(unformattable message, format: ";
                message += format;
                message += ')';
            } else if (static_cast<std::size_t>(needed) < sizeof small) {
                message.assign(small, static_cast<std::size_t>(needed));
            } else {
                message.resize(static_cast<std::size_t>(needed) + 1);  // may throw: no va_list open
                va_start(args, format);
                std::vsnprintf(message.data(), message.size(), format, args);
                va_end(args);
                message.resize(static_cast<std::size_t>(needed));
            }
        }
        tslib::write_log_line(tslib::format_log_line(label, level, message.data(), message.size()));
    } catch (...) {
        // Out of memory: the line is dropped; the caller must never see an exception from here.
    }
}
