// Where log lines go: the file named by TS_DEBUG_LOG, or standard error.
#pragma once
#include <string>

namespace tslib {

// Writes the whole line with one write(2). The file is opened with O_APPEND for every line, so
// lines of concurrent threads and processes never interleave and a rotated log is picked up at
// once. When the file can't be opened the line goes to standard error instead of being lost.
void write_log_line(const std::string& line) noexcept;

}  // namespace tslib
