#include "fuzz_input.h"

#include <climits>
#include <cstring>

namespace fuzzhost {

uint8_t FuzzInput::byte() {
    return position_ < size_ ? data_[position_++] : 0;
}

uint8_t FuzzInput::flags(bool& verboseLogging) {
    const uint8_t b = byte();
    verboseLogging = (b & 1) != 0;
    return b;
}

int FuzzInput::status() {
    static const int unusual[] = {1, 2, -1, 124, 127, -5, INT_MIN, INT_MAX};
    const uint8_t b = byte();
    return b < 192 ? 0 : unusual[b & 7];
}

int FuzzInput::capacity(int max) {
    static const int extreme[] = {INT_MIN, INT_MIN + 1, -1000000, -1};
    const uint8_t b = byte();
    if (b >= 252) return extreme[b - 252];
    const int value = static_cast<int>(b % 72) - 8;
    return value > max ? max : value;
}

std::string FuzzInput::field() {
    if (position_ >= size_) return std::string();
    const void* nul = std::memchr(data_ + position_, 0, size_ - position_);
    const size_t end = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data_) : size_;
    std::string text(reinterpret_cast<const char*>(data_ + position_), end - position_);
    position_ = nul ? end + 1 : end;
    return text;
}

std::string FuzzInput::rest() {
    if (position_ >= size_) return std::string();
    std::string text(reinterpret_cast<const char*>(data_ + position_), size_ - position_);
    position_ = size_;
    return text;
}

std::vector<std::string> linesOf(const std::string& output, bool keepEmpty) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        if (keepEmpty || end > start) lines.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace fuzzhost
