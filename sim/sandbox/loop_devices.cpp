#include "sandbox/loop_devices.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace sim {
namespace {

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

constexpr unsigned kMaxBlock = (1u << 20) / 16;

}  // namespace

LoopDevices::LoopDevices(UniqueFd controlFd, std::string nodeDir, int reportFd)
    : control_(std::move(controlFd)), nodeDir_(std::move(nodeDir)), reportFd_(reportFd) {}

LoopDevices::~LoopDevices() {
    release();
}

bool LoopDevices::usable(std::string& why) const {
    if (!control_.valid()) {
        why = "/dev/loop-control cannot be opened (no loop driver, or no permission)";
        return false;
    }
    std::ifstream maxPart("/sys/module/loop/parameters/max_part");
    int parts = 0;
    if (maxPart >> parts && parts != 0) {
        why = "the loop driver reserves minors for partitions (max_part=" + std::to_string(parts) +
              "), so loop indices do not map to HDLM's minors";
        return false;
    }
    return true;
}

bool LoopDevices::indexFree(unsigned index) const {
    std::string sys = "/sys/block/loop" + std::to_string(index);
    if (!exists(sys)) return true;
    return !exists(sys + "/loop/backing_file");  // present but detached
}

UniqueFd LoopDevices::openIndex(unsigned index) {
    std::string node = nodeDir_ + "/loop" + std::to_string(index);
    unlink(node.c_str());
    if (mknod(node.c_str(), S_IFBLK | 0600, makedev(kLoopMajor, index)) != 0)
        throw std::runtime_error("cannot create " + node + ": " + std::strerror(errno));
    return UniqueFd(open(node.c_str(), O_RDWR | O_CLOEXEC));
}

unsigned LoopDevices::attach(const std::string& image, const std::vector<LoopSlice>& slices,
                             unsigned preferredBase) {
    UniqueFd file(open(image.c_str(), O_RDWR | O_CLOEXEC));
    if (!file.valid())
        throw std::runtime_error("cannot open image " + image + ": " + std::strerror(errno));
    if (preferredBase && preferredBase % 16 == 0 &&
        tryBlock(preferredBase, file.get(), image, slices))
        return preferredBase;
    for (; nextBlock_ < kMaxBlock; ++nextBlock_)
        if (tryBlock(nextBlock_ * 16, file.get(), image, slices)) return nextBlock_++ * 16;
    throw std::runtime_error("no free block of 16 loop devices");
}

bool LoopDevices::tryBlock(unsigned base, int file, const std::string& image,
                           const std::vector<LoopSlice>& slices) {
    for (const LoopSlice& s : slices)
        if (!indexFree(base + unsigned(s.number))) return false;
    std::vector<UniqueFd> fds;
    for (const LoopSlice& s : slices) {
        unsigned index = base + unsigned(s.number);
        if (!exists("/sys/block/loop" + std::to_string(index))) {
            if (ioctl(control_.get(), LOOP_CTL_ADD, index) < 0) {
                if (errno == EEXIST) return false;  // someone else just took it
                throw std::runtime_error("LOOP_CTL_ADD " + std::to_string(index) + ": " +
                                         std::strerror(errno));
            }
            added_.push_back(index);
            if (reportFd_ >= 0) {
                std::string line = std::to_string(index) + "\n";
                if (write(reportFd_, line.data(), line.size()) <
                    0) { /* the cleaner is gone; we clean up ourselves */
                }
            }
        }
        UniqueFd dev = openIndex(index);
        // Another simulator removing the indices it added may take this one away between the
        // look at /sys and the open: not ours then, like a bound one.
        if (!dev.valid() && (errno == ENXIO || errno == ENODEV)) return false;
        if (!dev.valid())
            throw std::runtime_error("cannot open loop" + std::to_string(index) + ": " +
                                     std::strerror(errno));
        struct loop_config config;
        memset(&config, 0, sizeof config);
        config.fd = unsigned(file);
        config.block_size = 512;
        config.info.lo_offset = s.offset;
        config.info.lo_sizelimit = s.size;
        config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
        strncpy(reinterpret_cast<char*>(config.info.lo_file_name), image.c_str(), LO_NAME_SIZE - 1);
        if (ioctl(dev.get(), LOOP_CONFIGURE, &config) < 0) {
            if (errno == EBUSY || errno == ENXIO) {  // bound or removed meanwhile by someone else
                if (!added_.empty() && added_.back() == index) added_.pop_back();
                return false;  // what we bound detaches as `fds` closes (autoclear)
            }
            throw std::runtime_error("LOOP_CONFIGURE loop" + std::to_string(index) + ": " +
                                     std::strerror(errno));
        }
        fds.push_back(std::move(dev));
    }
    for (UniqueFd& fd : fds) open_.push_back(std::move(fd));
    return true;
}

void removeLoopIndices(int controlFd, const std::vector<unsigned>& indices) {
    // Each removal waits for the block layer to let go of the disk (tens of milliseconds);
    // side by side they wait together.
    auto remove = [controlFd](unsigned index) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (ioctl(controlFd, LOOP_CTL_REMOVE, index) >= 0 || errno == ENODEV || errno == ENXIO)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
    for (size_t first = 0; first < indices.size(); first += 32) {
        std::vector<std::thread> workers;
        for (size_t i = first; i < indices.size() && i < first + 32; ++i)
            workers.emplace_back(remove, indices[i]);
        for (std::thread& t : workers) t.join();
    }
}

void LoopDevices::release() {
    open_.clear();
    if (control_.valid()) removeLoopIndices(control_.get(), added_);
    added_.clear();
}

}  // namespace sim
