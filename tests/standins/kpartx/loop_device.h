// A loop device over an image file, detached again when the test ends.
#pragma once
#include <cstdint>
#include <string>

class LoopDevice {
public:
    // sizeLimitBytes 0: the whole image.
    LoopDevice(const std::string& image, unsigned sectorSize, uint64_t sizeLimitBytes = 0);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    bool attached() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // Why the device could not be set up (for GTEST_SKIP).
    const std::string& failure() const { return failure_; }

private:
    std::string path_;
    std::string failure_;
};
