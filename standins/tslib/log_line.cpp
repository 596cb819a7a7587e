#include "log_line.h"

#include <sys/syscall.h>  // SYS_gettid: gettid() is newer than the hosts glibc 2.28 has
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace tslib {

namespace {

// Local wall-clock time with milliseconds, e.g. "2024-05-17 13:02:41.093".
void append_timestamp(std::string& out) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld",
                                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000);
    if (n > 0) out.append(text, static_cast<std::size_t>(n) < sizeof text ? n : sizeof text - 1);
}

}  // namespace

void append_escaped(std::string& out, const char* text, std::size_t length) {
    static const char hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += '\t';
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    const char escaped[4] = {'\\', 'x', hex[byte >> 4], hex[byte & 0xf]};
                    out.append(escaped, sizeof escaped);
                } else {
                    out += static_cast<char>(byte);
                }
        }
    }
}

std::string format_log_line(const char* label, int level, const char* message,
                            std::size_t message_length) {
    std::string line;
    line.reserve(64 + message_length + message_length / 8);
    append_timestamp(line);
    char ids[64];
    const int n = std::snprintf(ids, sizeof ids, " %ld %ld %d ", static_cast<long>(getpid()),
                                static_cast<long>(::syscall(SYS_gettid)), level);
    if (n > 0) line.append(ids, static_cast<std::size_t>(n) < sizeof ids ? n : sizeof ids - 1);
    // The label is escaped too: a stray newline in it would otherwise start a false line.
    if (label == nullptr || *label == '\0') {
        line += '-';
    } else {
        append_escaped(line, label, std::strlen(label));
    }
    line += ' ';
    append_escaped(line, message, message_length);
    line += '\n';
    return line;
}

}  // namespace tslib
