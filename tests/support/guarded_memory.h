// Caller storage fenced by guard bytes: every buffer the plug-in may write sits between 64 bytes
// of a known pattern before and after it, checked after each call, and starts filled with a
// second pattern so that "untouched" can be told from "written".
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace guarded {

constexpr size_t kGuardBytes = 64;
constexpr unsigned char kFill = 0x5a;

class Bytes {
public:
    Bytes(size_t size, std::string label);
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;
    Bytes(Bytes&&) = default;
    Bytes& operator=(Bytes&&) = default;
    ~Bytes() = default;

    unsigned char* data() { return storage_.get() + kGuardBytes; }
    const unsigned char* data() const { return storage_.get() + kGuardBytes; }
    size_t size() const { return size_; }
    char at(size_t i) const { return static_cast<char>(data()[i]); }

    // "" when both guards hold their pattern, else which bytes were overwritten.
    std::string damage() const;
    bool guardsIntact() const { return damage().empty(); }
    // True when every byte of the body still holds kFill.
    bool untouched() const;
    // True when every byte from `from` to the end of the body is zero.
    bool zeroFrom(size_t from) const;

private:
    std::unique_ptr<unsigned char[]> storage_;
    size_t size_;
    std::string label_;
};

// `n` objects of a trivially copyable T in one guarded block.
template <typename T>
class Array {
    static_assert(std::is_trivially_copyable_v<T>, "guarded arrays hold plain records");

public:
    Array(size_t n, std::string label) : bytes_(n * sizeof(T), std::move(label)), n_(n) {}
    T* data() { return reinterpret_cast<T*>(bytes_.data()); }
    T get(size_t i) const {
        T value;
        std::memcpy(static_cast<void*>(&value), bytes_.data() + i * sizeof(T), sizeof(T));
        return value;
    }
    void set(size_t i, const T& value) {
        std::memcpy(bytes_.data() + i * sizeof(T), static_cast<const void*>(&value), sizeof(T));
    }
    // True when element i still holds the fill pattern in every byte.
    bool untouched(size_t i) const {
        for (size_t b = 0; b < sizeof(T); ++b)
            if (bytes_.data()[i * sizeof(T) + b] != kFill) return false;
        return true;
    }
    size_t size() const { return n_; }
    std::string damage() const { return bytes_.damage(); }

private:
    Bytes bytes_;
    size_t n_;
};

// A character buffer of the host's kind (MAXMPIOPATHLEN / MAXMPIOERRORLEN bytes).
class Text : public Bytes {
public:
    explicit Text(std::string label, size_t size = 1024) : Bytes(size, std::move(label)) {}
    char* chars() { return reinterpret_cast<char*>(data()); }
    const char* chars() const { return reinterpret_cast<const char*>(data()); }
    // True when a NUL lies inside the buffer.
    bool terminated() const { return std::memchr(data(), '\0', size()) != nullptr; }
    // The text up to its NUL, or the whole buffer when it has none.
    std::string text() const {
        const void* nul = std::memchr(data(), '\0', size());
        const size_t length =
            nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - data()) : size();
        return std::string(chars(), length);
    }
};

// An array of `n` pointers to guarded text buffers, as getMPIODevices and getUnderlyingDevices
// take it, with guard slots before and after the pointers: the plug-in must change no pointer
// and write nothing outside a buffer.
class TextArray {
public:
    explicit TextArray(size_t n, size_t size = 1024);
    char** data() { return pointers_.data() + kGuardSlots; }
    size_t size() const { return texts_.size(); }
    Text& operator[](size_t i) { return texts_[i]; }
    const Text& operator[](size_t i) const { return texts_[i]; }
    // True when no pointer and no guard slot changed.
    bool pointersIntact() const { return pointers_ == original_; }
    // "" when pointers and every buffer's guards are intact, else what was overwritten.
    std::string damage() const;
    bool guardsIntact() const { return damage().empty(); }

private:
    static constexpr size_t kGuardSlots = 2;
    std::vector<Text> texts_;
    std::vector<char*> pointers_;
    std::vector<char*> original_;
};

}  // namespace guarded
