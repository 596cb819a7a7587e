// Columns of text padded to a common width; widths count characters, not bytes, so the tree's
// box-drawing glyphs line up.
#pragma once

#include <string>
#include <vector>

namespace probe {

class TextTable {
public:
    enum class Align { Left, Right };

    explicit TextTable(std::vector<Align> aligns) : aligns_(std::move(aligns)) {}

    void addRow(std::vector<std::string> cells);
    // Rows joined by newlines, each ending in one; no trailing blanks.
    std::string render() const;
    bool empty() const { return rows_.empty(); }

private:
    std::vector<Align> aligns_;
    std::vector<std::vector<std::string>> rows_;
};

// Number of characters in UTF-8 text.
size_t displayWidth(const std::string& text);

}  // namespace probe
