#include "fifo_watchdog.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <utility>

FifoWatchdog::FifoWatchdog(std::string fifo, int limitMilliseconds)
    : fifo_(std::move(fifo)), thread_([this, limitMilliseconds] { watch(limitMilliseconds); }) {}

FifoWatchdog::~FifoWatchdog() {
    stopAndReportBlocked();
}

bool FifoWatchdog::stopAndReportBlocked() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    done_.notify_all();
    if (thread_.joinable()) thread_.join();
    return released_;
}

void FifoWatchdog::watch(int limitMilliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMilliseconds);
    while (!finished_) {
        if (done_.wait_until(lock, deadline) != std::cv_status::timeout) continue;
        if (finished_) break;
        // Still inside the call: release it, and keep releasing until it returns.
        released_ = true;
        lock.unlock();
        const int fd = open(fifo_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (fd >= 0) close(fd);
        lock.lock();
        done_.wait_for(lock, std::chrono::milliseconds(200), [this] { return finished_; });
    }
}
