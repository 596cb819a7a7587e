// Caller storage as a host lays it out, with guard bytes around every buffer and guard slots
// around the pointer array, all checked after the call: the plug-in must write nothing past a
// buffer, and nothing into an entry it did not fill.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace fuzzhost {

// One block of `size` bytes between two guards; the block starts filled with a pattern.
class GuardedBlock {
public:
    static constexpr size_t kGuard = 32;
    static constexpr unsigned char kGuardByte = 0xFD;
    static constexpr unsigned char kFillByte = 0xA5;

    explicit GuardedBlock(size_t size);
    char* data() { return reinterpret_cast<char*>(storage_.get() + kGuard); }
    const char* data() const { return reinterpret_cast<const char*>(storage_.get() + kGuard); }
    size_t size() const { return size_; }
    bool guardsIntact() const;
    bool untouched() const;  // still all fill pattern

private:
    size_t size_;
    std::unique_ptr<unsigned char[]> storage_;
};

// An array of `entries` pointers to buffers of `size` bytes, as getMPIODevices and
// getUnderlyingDevices take it.
class GuardedBuffers {
public:
    GuardedBuffers(int entries, size_t size);
    char** array() { return pointers_.data() + kGuardSlots; }
    int entries() const { return static_cast<int>(blocks_.size()); }
    GuardedBlock& block(int i) { return blocks_[static_cast<size_t>(i)]; }
    // Reports (through FUZZ_CHECK) every overwritten guard byte or guard slot, and every
    // pointer of the array that changed.
    void checkGuards(const std::string& what) const;

private:
    static constexpr size_t kGuardSlots = 2;
    std::vector<GuardedBlock> blocks_;
    std::vector<char*> pointers_;
    std::vector<char*> original_;
};

// Checks a buffer the plug-in filled with `expected` the way the caller buffers are filled:
// at most size-1 characters of it, zero bytes after them up to and including the last byte.
void checkPadded(const GuardedBlock& block, const std::string& expected, const std::string& what);

}  // namespace fuzzhost
