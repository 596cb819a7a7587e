// Keeps a call that blocks on a FIFO from hanging the test: if the call has not returned within
// the limit, the watchdog opens the FIFO for reading and writing (which completes any open
// waiting for the other side), closes it again (a blocked read then sees end of file) and
// records that the call blocked.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class FifoWatchdog {
public:
    FifoWatchdog(std::string fifo, int limitMilliseconds);
    ~FifoWatchdog();
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    // Ends the watch; true when the call had to be released from the FIFO.
    bool stopAndReportBlocked();

private:
    void watch(int limitMilliseconds);

    std::string fifo_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::atomic<bool> released_{false};
    std::thread thread_;
};
