// Caller-owned buffers handed to the plug-in, sized as its header demands.
#pragma once

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"
#include "probe_model.h"

namespace probe {

// Text in a fixed buffer the plug-in wrote; bounded even if it left out the NUL.
template <size_t N>
std::string boundedText(const std::array<char, N>& buffer) {
    return std::string(buffer.data(), strnlen(buffer.data(), N));
}

// errorCode and errorMessage, cleared before each call so that stale text never passes as new.
struct ErrorOutputs {
    int code = 0;
    std::array<char, MAXMPIOERRORLEN> message{};

    void reset() {
        code = 0;
        message.fill('\0');
    }
    void copyInto(CallOutcome& call) const {
        call.errorCode = code;
        call.errorMessage = boundedText(message);
    }
};

// An array of char* to MAXMPIOPATHLEN-byte buffers. Never empty, so a capacity of 0 still passes
// a valid array.
class PathArray {
public:
    explicit PathArray(int capacity)
        : buffers_(static_cast<size_t>(capacity > 0 ? capacity : 1)), pointers_(buffers_.size()) {
        for (size_t i = 0; i < buffers_.size(); ++i) pointers_[i] = buffers_[i].data();
    }
    char** data() { return pointers_.data(); }
    std::string at(int index) const { return boundedText(buffers_.at(static_cast<size_t>(index))); }

private:
    std::vector<std::array<char, MAXMPIOPATHLEN>> buffers_;
    std::vector<char*> pointers_;
};

}  // namespace probe
