#include "text_table.h"

#include <algorithm>

namespace probe {

size_t displayWidth(const std::string& text) {
    // Continuation bytes (10xxxxxx) do not start a character.
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void TextTable::addRow(std::vector<std::string> cells) {
    rows_.push_back(std::move(cells));
}

std::string TextTable::render() const {
    std::vector<size_t> widths;
    for (const auto& row : rows_) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
    std::string out;
    for (const auto& row : rows_) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string& cell = row[i];
            std::string pad(widths[i] - displayWidth(cell), ' ');
            bool right = i < aligns_.size() && aligns_[i] == Align::Right;
            if (i > 0) line += "  ";
            line += right ? pad + cell : cell + pad;
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    return out;
}

}  // namespace probe
