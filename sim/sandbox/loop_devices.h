// Loop devices for loop-backed LUs: a disk at a loop index that is a multiple of 16, so that
// its minor is too, and one loop device per partition at index disk + number, limited to the
// partition's sectors of the same image. The loop driver here gives each index one minor
// (max_part=0), so the kernel's own partition scan would number partitions elsewhere; these
// offset devices carry exactly the numbers HDLM gives partitions. All are autoclear and held
// open only by this process: they detach when it ends, however it ends.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "topology/topology.h"
#include "unique_fd.h"

namespace sim {

constexpr unsigned kLoopMajor = 7;

struct LoopSlice {
    int number = 0;       // 0: the whole disk; else the partition's number
    uint64_t offset = 0;  // bytes into the image
    uint64_t size = 0;    // bytes; 0: to the end of the image
};

class LoopDevices {
public:
    // `controlFd`: /dev/loop-control, opened before /dev was replaced; `nodeDir`: where to
    // make the loop nodes this process opens; `reportFd`: where each index added is written
    // as a line, for the cleaner that removes them should this process die (-1: none).
    LoopDevices(UniqueFd controlFd, std::string nodeDir, int reportFd);
    ~LoopDevices();
    LoopDevices(const LoopDevices&) = delete;
    LoopDevices& operator=(const LoopDevices&) = delete;

    // Whether loop devices can be had at all here: max_part=0 and loop-control open.
    bool usable(std::string& why) const;

    // Attaches the image's slices in one free block of 16 indices; returns the block's first
    // minor (16k). Throws std::runtime_error saying why none could be had.
    // A `preferredBase` (a multiple of 16, not 0) is tried first.
    unsigned attach(const std::string& image, const std::vector<LoopSlice>& slices,
                    unsigned preferredBase = 0);

    // Closes every device (autoclear detaches them) and removes the indices this process added.
    void release();

private:
    bool indexFree(unsigned index) const;
    bool tryBlock(unsigned base, int file, const std::string& image,
                  const std::vector<LoopSlice>& slices);
    UniqueFd openIndex(unsigned index);

    UniqueFd control_;
    std::string nodeDir_;
    int reportFd_;
    unsigned nextBlock_ = 1;  // block 0 (loop0..15) is what distributions pre-create
    std::vector<UniqueFd> open_;
    std::vector<unsigned> added_;
};

// Removes loop indices once they are detached, retrying for a while (detaching is not always
// immediate after the last close).
void removeLoopIndices(int controlFd, const std::vector<unsigned>& indices);

}  // namespace sim
