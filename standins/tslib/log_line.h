// Builds one log line: "YYYY-MM-DD HH:MM:SS.mmm PID TID LEVEL LABEL MESSAGE\n".
#pragma once
#include <cstddef>
#include <string>

namespace tslib {

// Appends `length` bytes of `text` so that they can never end or split the line: a backslash
// becomes \\, a newline \n, a carriage return \r, any other control byte but tab \xHH.
void append_escaped(std::string& out, const char* text, std::size_t length);

// The complete line for one DebugLvl call, newline included. A null label prints as "-".
std::string format_log_line(const char* label, int level, const char* message,
                            std::size_t message_length);

}  // namespace tslib
