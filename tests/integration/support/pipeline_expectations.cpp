#include "pipeline_expectations.h"

#include <regex>
#include <sstream>

namespace integ {
namespace {

constexpr size_t kEntryText = 1023;  // a 1024-byte entry holds 1023 characters and a NUL

std::vector<std::string> records(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

std::vector<std::string> awkFields(const std::string& record) {
    std::vector<std::string> fields;
    size_t at = 0;
    while (true) {
        at = record.find_first_not_of(" \t", at);
        if (at == std::string::npos) break;
        size_t end = record.find_first_of(" \t", at);
        fields.push_back(
            record.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end;
    }
    return fields;
}

std::vector<std::string> expectedListing(const std::string& viewLu) {
    // grep -E's own dialect: POSIX extended.
    static const std::regex hdlmName("[[:space:]]sddlm[a-p]{2,3}([[:space:]]|$)",
                                     std::regex::extended);
    static const std::regex wholeName("sddlm[a-p]{2,3}", std::regex::extended);
    std::vector<std::string> entries;
    for (const std::string& line : records(viewLu)) {
        if (!std::regex_search(line, hdlmName)) continue;
        std::vector<std::string> fields = awkFields(line);
        if (fields.size() < 2 || !std::regex_match(fields[1], wholeName)) continue;
        entries.push_back(("/dev/" + fields[1]).substr(0, kEntryText));
    }
    return entries;
}

bool expectedPaths(const std::string& itemView, std::vector<std::string>& entries) {
    entries.clear();
    for (const std::string& line : records(itemView)) {
        if (line.find("sd") == std::string::npos) continue;
        std::vector<std::string> fields = awkFields(line);
        long field = long(fields.size()) - 11;
        if (field < 0) return false;
        std::string printed =
            field == 0 ? line : fields[size_t(field - 1)];  // $0 is the whole record
        if (!printed.empty()) entries.push_back(printed.substr(0, kEntryText));
    }
    return true;
}

}  // namespace integ
