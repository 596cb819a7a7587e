// What both plug-in benchmarks share: the storage they hand the entry points, what they say when
// one fails, and how they take device names apart.
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

// The bare name of a device path: /dev/sddlmaa1 -> sddlmaa1.
inline std::string bareName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A partition's disk: the name without its trailing partition number.
inline std::string diskOf(const std::string& partition) {
    size_t end = partition.size();
    while (end > 1 && partition[end - 1] >= '0' && partition[end - 1] <= '9') --end;
    return partition.substr(0, end);
}

}  // namespace bench
