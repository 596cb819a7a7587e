// Test helpers for the logger: a parser for its lines.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace testlog {

struct LogLine {
    std::string timestamp;  // "YYYY-MM-DD HH:MM:SS.mmm"
    long pid = 0;
    long tid = 0;
    int level = 0;
    std::string label;
    std::string message;
};

// Parses one line (without its newline); nullopt when it breaks the format.
std::optional<LogLine> parse_line(const std::string& line);

// Every line of the file; `ends_with_newline` tells whether the last one was complete.
std::vector<std::string> read_lines(const std::string& path, bool* ends_with_newline = nullptr);

}  // namespace testlog
