// FXString::Split: cuts a text at every character found in `separators`.
//
// The pieces are the texts between separators, so n separators always give n+1 pieces: an empty
// text gives one empty piece, a trailing separator a trailing empty piece. With no separators the
// whole text is one piece. `flags` selects nothing yet; every value behaves like 0.

#include <algorithm>

#include "exported_api.h"

namespace {

// Where the next separator at or after `start` lies: one separator, the usual case, is found with
// memchr (std::string::find), a set with find_first_of.
std::string::size_type nextSeparator(const std::string& text, const std::string& separators,
                                     std::string::size_type start) {
    if (separators.empty()) return std::string::npos;
    if (separators.size() == 1) return text.find(separators[0], start);
    return text.find_first_of(separators, start);
}

}  // namespace

int FXString::Split(const std::string& text, const std::string& separators,
                    std::vector<std::string>& pieces, unsigned int /*flags*/) {
    int appended = 0;
    try {
        // Counting first (one vectorised pass) lets the vector grow once instead of moving its
        // pieces at every doubling.
        const size_t count =
            separators.size() == 1
                ? static_cast<size_t>(std::count(text.begin(), text.end(), separators[0])) + 1
                : 0;
        pieces.reserve(pieces.size() + count);
        std::string::size_type start = 0;
        while (true) {
            const auto end = nextSeparator(text, separators, start);
            if (end == std::string::npos) {
                pieces.emplace_back(text, start);
                return appended + 1;
            }
            pieces.emplace_back(text, start, end - start);
            ++appended;
            start = end + 1;
        }
    } catch (...) {
        // The caller may sit behind a C entry point: report exhaustion, never throw through it.
        return -1;
    }
}
