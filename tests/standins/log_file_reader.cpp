#include "log_file_reader.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace testlog {

std::optional<LogLine> parse_line(const std::string& line) {
    // The regex covers the fields before MESSAGE only: std::regex recurses per character and
    // would overflow the stack on long messages.
    std::string::size_type prefix_end = 0;
    for (int field = 0; field < 6; ++field) {
        prefix_end = line.find(' ', prefix_end);
        if (prefix_end == std::string::npos) return std::nullopt;
        ++prefix_end;
    }
    static const std::regex format(
        R"(^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) (\d+) (\d+) (-?\d+) (\S+) $)");
    std::smatch m;
    const std::string prefix = line.substr(0, prefix_end);
    if (!std::regex_match(prefix, m, format)) return std::nullopt;
    if (line.find('\n', prefix_end) != std::string::npos) return std::nullopt;
    LogLine parsed;
    parsed.timestamp = m[1];
    parsed.pid = std::stol(m[2]);
    parsed.tid = std::stol(m[3]);
    parsed.level = std::stoi(m[4]);
    parsed.label = m[5];
    parsed.message = line.substr(prefix_end);
    return parsed;
}

std::vector<std::string> read_lines(const std::string& path, bool* ends_with_newline) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    if (ends_with_newline) *ends_with_newline = !text.empty() && text.back() == '\n';
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace testlog
