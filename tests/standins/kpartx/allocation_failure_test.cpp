// Out of memory inside getPartitions: -ENOMEM and the caller's list untouched, never an
// exception through the call. Every C++ allocation the call makes is failed in turn; some are
// survivable (std::stable_sort falls back to sorting in place), then the call must succeed whole.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <vector>

#include "disk_image.h"
#include "kpartx.h"
#include "slice_testing.h"
#include "temp_dir.h"

// The replacement allocation functions below pair malloc with free by design; GCC at -O1 (the
// sanitizer trees) inlines allocate() into them and takes that pair for a new/free mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

std::atomic<long> allocationsUntilFailure{-1};  // -1: never fail
std::atomic<int> failuresInjected{0};

void* allocate(std::size_t size) {
    if (allocationsUntilFailure.load() >= 0 && allocationsUntilFailure-- == 0) {
        ++failuresInjected;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

// Replaces the global operator new for the whole process, libkpartx.so included.
void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

TEST(AllocationFailure, EachFailedAllocationGivesEnomemAndKeepsTheList) {
    testsupport::TempDir dir;
    DiskImage image(dir / "disk.img", 32ULL << 20);
    writeTable(image.str(),
               "label: dos\nstart=2048,size=8192,type=83\nstart=10240,size=40960,type=5\n"
               "start=12288,size=4096\nstart=18432,size=4096\n");
    const slice sentinel = makeSlice(42, 1, 2);

    int rc = 0;
    int enomem = 0;
    long failAt = 0;
    for (; failAt < 1000; ++failAt) {
        std::list<slice> slices{sentinel};
        failuresInjected = 0;
        allocationsUntilFailure = failAt;
        rc = getPartitions(image.path().c_str(), slices);
        allocationsUntilFailure = -1;
        if (failuresInjected == 0) {  // the call made fewer allocations: it ran clean
            EXPECT_EQ(rc, 4);
            EXPECT_EQ(slices.size(), 5u);
            break;
        }
        if (rc == -ENOMEM) {
            ++enomem;
            ASSERT_EQ(toVector(slices), std::vector<slice>{sentinel}) << "allocation " << failAt;
        } else {
            ASSERT_EQ(rc, 4) << "allocation " << failAt << " failed";
            ASSERT_EQ(slices.size(), 5u) << "allocation " << failAt;
        }
    }
    EXPECT_GT(enomem, 0) << "no failed allocation reached the caller as -ENOMEM";
    EXPECT_LT(failAt, 1000);
}

}  // namespace
