// Reads a fuzz input as a few control bytes followed by NUL-separated text fields, so seed
// inputs stay readable: e.g. "\x00\x05" then "253 0 sddlmaa\n253 1 sddlmaa1\n".
// An exhausted input reads as zero bytes and empty fields, so every input is valid.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzhost {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t byte();
    // A run's first byte, its flags: the lowest bit sets `verboseLogging` (the plug-in's
    // bVerboseLogging), the others are the target's own.
    uint8_t flags(bool& verboseLogging);
    // A runner status: 0 for three bytes in four, else one of the statuses a real runner gives
    // (1, 2, 124, 127, -1) or an extreme (-5, INT_MIN, INT_MAX).
    int status();
    // A caller capacity: -8..max most of the time, else INT_MIN, INT_MIN+1, -1000000 or -1.
    int capacity(int max);
    // The text up to the next NUL byte (not included) or the end.
    std::string field();
    // Everything not read yet.
    std::string rest();

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// The lines of a command's output, the last one also without a newline after it; empty lines
// kept or dropped (where runs of newlines separate like one).
std::vector<std::string> linesOf(const std::string& output, bool keepEmpty);

}  // namespace fuzzhost
