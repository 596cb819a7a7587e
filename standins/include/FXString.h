// The host's string splitter.
#pragma once
#include <string>
#include <vector>

class FXString {
public:
    // Every character of `separators` separates. Pieces are appended in order, empty ones
    // included (a trailing separator yields a trailing empty piece). Returns the number appended.
    // Never throws: returns -1 when memory runs out (the pieces appended so far stay).
    static int Split(const std::string& text, const std::string& separators,
                     std::vector<std::string>& pieces, unsigned int flags);
};
