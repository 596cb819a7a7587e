// What both plug-in benchmarks hand the entry points and say when one fails.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"

namespace bench {

// Caller storage for the list calls, made once so that the timed calls only fill it.
struct Arrays {
    explicit Arrays(size_t entries) : buffers(entries * MAXMPIOPATHLEN), pointers(entries) {
        for (size_t i = 0; i < entries; ++i) pointers[i] = &buffers[i * MAXMPIOPATHLEN];
    }
    std::vector<char> buffers;
    std::vector<char*> pointers;
};

// "CALL returned R, errorCode C: MESSAGE", the reason a benchmark gives for stopping.
inline std::string callFailed(const char* call, long result, int errorCode,
                              const char* errorMessage) {
    return std::string(call) + " returned " + std::to_string(result) + ", errorCode " +
           std::to_string(errorCode) + ": " + errorMessage;
}

}  // namespace bench
