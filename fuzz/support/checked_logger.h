// The host's logger replaced by a recorder that checks every message: a known label and level,
// and, formatted the way the host's logger writes it, exactly one line.
#pragma once
#include <string>
#include <vector>

namespace fuzzhost {

struct LogRecord {
    std::string label;
    int level = 0;
    std::string message;
};

void resetLog();
const std::vector<LogRecord>& logRecords();
// How many recorded messages start with `prefix`.
size_t countLogged(const std::string& prefix);

}  // namespace fuzzhost
