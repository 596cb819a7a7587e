#include "text_format.h"

#include <cstdio>

namespace probe {

std::string humanSize(uint64_t bytes) {
    static const char units[] = {'B', 'K', 'M', 'G', 'T', 'P', 'E'};
    if (bytes < 1024) return std::to_string(bytes) + "B";
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < sizeof units) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string shown = text;
    // 1023.96K rounds to 1024.0: say 1M instead.
    if (shown == "1024.0" && unit + 1 < sizeof units) {
        shown = "1.0";
        ++unit;
    }
    if (shown.size() > 2 && shown.compare(shown.size() - 2, 2, ".0") == 0)
        shown.resize(shown.size() - 2);
    return shown + units[unit];
}

namespace {

std::string escape(const std::string& text, bool inQuotes) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else if (inQuotes && (c == '"' || c == '\\')) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string visible(const std::string& text) {
    return escape(text, false);
}

std::string quoted(const std::string& text) {
    return "\"" + escape(text, true) + "\"";
}

}  // namespace probe
