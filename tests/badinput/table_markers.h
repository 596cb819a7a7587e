// The lines that enclose the generated table in docs/bad-input.md.
#pragma once

namespace bad_input {

inline constexpr const char* kTableBegin = "<!-- bad-input table: begin (generated) -->";
inline constexpr const char* kTableEnd = "<!-- bad-input table: end -->";

}  // namespace bad_input
