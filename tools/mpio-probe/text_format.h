// Small text helpers for the human-readable output.
#pragma once

#include <cstdint>
#include <string>

namespace probe {

// A size in bytes the way lsblk prints it: binary units, one decimal where it matters (100M, 1.5G).
std::string humanSize(uint64_t bytes);

// The plug-in's text with control characters made visible (\n, \r, \t, \xNN), so a stray newline
// or carriage return in a name shows instead of breaking the layout.
std::string visible(const std::string& text);

// visible() in double quotes (also escaping quotes and backslashes).
std::string quoted(const std::string& text);

}  // namespace probe
