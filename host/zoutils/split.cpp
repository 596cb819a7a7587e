// FXString::Split: cuts a text at every character found in `separators`.
//
// The pieces are the texts between separators, so n separators always give n+1 pieces: an empty
// text gives one empty piece, a trailing separator a trailing empty piece. With no separators the
// whole text is one piece. `flags` selects nothing yet; every value behaves like 0.

#include "exported_api.h"

int FXString::Split(const std::string& text, const std::string& separators,
                    std::vector<std::string>& pieces, unsigned int /*flags*/) {
    int appended = 0;
    try {
        std::string::size_type start = 0;
        while (true) {
            const auto end =
                separators.empty() ? std::string::npos : text.find_first_of(separators, start);
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
