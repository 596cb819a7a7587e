// Touched anonymous memory that makes this process as big as a host agent that holds gigabytes.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

class MemoryBallast {
public:
    MemoryBallast() = default;
    MemoryBallast(const MemoryBallast&) = delete;
    MemoryBallast& operator=(const MemoryBallast&) = delete;
    ~MemoryBallast();

    // Holds exactly `gib` GiB, every page written (small pages: huge pages would hide what a
    // fork costs a host whose memory is in ordinary pages). Frees the previous size first.
    // Returns an empty string, or what failed.
    std::string hold(size_t gib);

private:
    void release();

    void* memory_ = nullptr;
    size_t bytes_ = 0;
    size_t gib_ = 0;
};

}  // namespace bench
