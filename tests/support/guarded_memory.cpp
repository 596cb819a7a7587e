#include "guarded_memory.h"

#include <utility>

namespace guarded {
namespace {

// A position-dependent pattern, so that a shifted or partial overwrite is still seen.
unsigned char guardByte(size_t i) {
    return static_cast<unsigned char>(0xa5 ^ (i * 29));
}

// Guard slots of a pointer array point here; the plug-in must neither read nor change them.
char guardSlotTarget;

}  // namespace

Bytes::Bytes(size_t size, std::string label)
    : storage_(new unsigned char[kGuardBytes + size + kGuardBytes]),
      size_(size),
      label_(std::move(label)) {
    for (size_t i = 0; i < kGuardBytes; ++i) {
        storage_[i] = guardByte(i);
        storage_[kGuardBytes + size_ + i] = guardByte(i);
    }
    std::memset(data(), kFill, size_);
}

std::string Bytes::damage() const {
    size_t before = 0;
    size_t after = 0;
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (storage_[i] != guardByte(i)) ++before;
        if (storage_[kGuardBytes + size_ + i] != guardByte(i)) ++after;
    }
    if (before == 0 && after == 0) return "";
    return label_ + ": " + std::to_string(before) + " guard bytes before and " +
           std::to_string(after) + " after the buffer were overwritten";
}

bool Bytes::untouched() const {
    for (size_t i = 0; i < size_; ++i)
        if (data()[i] != kFill) return false;
    return true;
}

bool Bytes::zeroFrom(size_t from) const {
    for (size_t i = from; i < size_; ++i)
        if (data()[i] != 0) return false;
    return true;
}

TextArray::TextArray(size_t n, size_t size) {
    texts_.reserve(n);
    for (size_t i = 0; i < n; ++i) texts_.emplace_back("entry " + std::to_string(i), size);
    pointers_.assign(n + 2 * kGuardSlots, &guardSlotTarget);
    for (size_t i = 0; i < n; ++i) pointers_[kGuardSlots + i] = texts_[i].chars();
    original_ = pointers_;
}

std::string TextArray::damage() const {
    std::string found = pointersIntact() ? "" : "the caller's pointer array was changed";
    for (const Text& text : texts_) {
        const std::string one = text.damage();
        if (!one.empty()) found += (found.empty() ? "" : "; ") + one;
    }
    return found;
}

}  // namespace guarded
