#include "memory_ballast.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace bench {

MemoryBallast::~MemoryBallast() {
    release();
}

void MemoryBallast::release() {
    if (memory_ != nullptr) munmap(memory_, bytes_);
    memory_ = nullptr;
    bytes_ = 0;
    gib_ = 0;
}

std::string MemoryBallast::hold(size_t gib) {
    if (gib == gib_ && (gib == 0 || memory_ != nullptr)) return "";
    release();
    if (gib == 0) return "";
    const size_t bytes = gib << 30;
    std::fprintf(stderr, "runner_bench: touching %zu GiB of memory\n", gib);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return "could not map " + std::to_string(gib) + " GiB: " + std::strerror(errno) +
               "; free memory or pass smaller --sizes";
    }
    madvise(memory, bytes, MADV_NOHUGEPAGE);
    constexpr size_t kChunk = size_t{64} << 20;
    for (size_t offset = 0; offset < bytes; offset += kChunk)
        std::memset(static_cast<char*>(memory) + offset, 0x5a, std::min(kChunk, bytes - offset));
    memory_ = memory;
    bytes_ = bytes;
    gib_ = gib;
    return "";
}

}  // namespace bench
