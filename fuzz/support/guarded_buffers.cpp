#include "guarded_buffers.h"

#include <algorithm>
#include <cstring>

#include "fuzz_check.h"

namespace fuzzhost {

namespace {
// Guard slots of the pointer array point here; the plug-in must neither read nor change them.
char guardSlotTarget;
}  // namespace

GuardedBlock::GuardedBlock(size_t size)
    : size_(size), storage_(new unsigned char[size + 2 * kGuard]) {
    std::memset(storage_.get(), kGuardByte, kGuard);
    std::memset(storage_.get() + kGuard, kFillByte, size);
    std::memset(storage_.get() + kGuard + size, kGuardByte, kGuard);
}

bool GuardedBlock::guardsIntact() const {
    const unsigned char* bytes = storage_.get();
    const auto isGuard = [](unsigned char b) { return b == kGuardByte; };
    return std::all_of(bytes, bytes + kGuard, isGuard) &&
           std::all_of(bytes + kGuard + size_, bytes + 2 * kGuard + size_, isGuard);
}

bool GuardedBlock::untouched() const {
    const unsigned char* bytes = storage_.get() + kGuard;
    return std::all_of(bytes, bytes + size_, [](unsigned char b) { return b == kFillByte; });
}

GuardedBuffers::GuardedBuffers(int entries, size_t size) {
    const size_t n = entries > 0 ? static_cast<size_t>(entries) : 0;
    blocks_.reserve(n);
    for (size_t i = 0; i < n; ++i) blocks_.emplace_back(size);
    pointers_.assign(n + 2 * kGuardSlots, &guardSlotTarget);
    for (size_t i = 0; i < n; ++i) pointers_[kGuardSlots + i] = blocks_[i].data();
    original_ = pointers_;
}

void GuardedBuffers::checkGuards(const std::string& what) const {
    FUZZ_CHECK(pointers_ == original_, what + ": the caller's pointer array was changed");
    for (size_t i = 0; i < blocks_.size(); ++i)
        FUZZ_CHECK(blocks_[i].guardsIntact(), what + ": write outside buffer " + std::to_string(i));
}

void checkPadded(const GuardedBlock& block, const std::string& expected, const std::string& what) {
    const std::string kept = expected.substr(0, std::min(expected.size(), block.size() - 1));
    // Text with a NUL in it ends at the NUL, as a C string copy does.
    const std::string visible = kept.substr(0, kept.find('\0'));
    const char* data = block.data();
    FUZZ_CHECK(std::memcmp(data, visible.data(), visible.size()) == 0,
               what + ": holds other text than [" + visible + "]");
    bool zeroTail = true;
    for (size_t i = visible.size(); i < block.size(); ++i) zeroTail = zeroTail && data[i] == '\0';
    FUZZ_CHECK(zeroTail, what + ": not zero-filled after its text");
}

}  // namespace fuzzhost
