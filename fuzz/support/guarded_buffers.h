// Caller storage as a host lays it out, with guard bytes around every buffer and guard slots
// around the pointer array (the tests' guarded-buffer kit), checked after the call through
// FUZZ_CHECK: the plug-in must write nothing past a buffer, and nothing into an entry it did not
// fill.
#pragma once
#include <cstddef>
#include <string>

#include "guarded_memory.h"

namespace fuzzhost {

// One block of `size` bytes between two guards; the block starts filled with a pattern.
class GuardedBlock : public guarded::Text {
public:
    static constexpr unsigned char kFillByte = guarded::kFill;
    explicit GuardedBlock(size_t size) : Text("block", size) {}
    char* data() { return chars(); }
    const char* data() const { return chars(); }
};

// An array of `entries` pointers to buffers of `size` bytes, as getMPIODevices and
// getUnderlyingDevices take it.
class GuardedBuffers {
public:
    GuardedBuffers(int entries, size_t size)
        : array_(entries > 0 ? static_cast<size_t>(entries) : 0, size) {}
    char** array() { return array_.data(); }
    int entries() const { return static_cast<int>(array_.size()); }
    guarded::Text& block(int i) { return array_[static_cast<size_t>(i)]; }
    // Reports (through FUZZ_CHECK) every overwritten guard byte or guard slot, and every
    // pointer of the array that changed.
    void checkGuards(const std::string& what) const;

private:
    guarded::TextArray array_;
};

// Checks a buffer the plug-in filled with `expected` the way the caller buffers are filled:
// at most size-1 characters of it, zero bytes after them up to and including the last byte.
void checkPadded(const guarded::Text& block, const std::string& expected, const std::string& what);

}  // namespace fuzzhost
