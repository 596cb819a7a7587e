// Reads the child's pipes concurrently with poll(), so a command that fills one pipe while we
// wait on the other can never deadlock.
#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "unique_fd.h"

namespace tslib {

struct CapturedStream {
    UniqueFd fd;                  // read end; reset at end of file
    std::string* keep = nullptr;  // null: read and dropped
    std::size_t limit = 0;        // bytes kept at most
    bool overflowed = false;      // more than `limit` arrived; the excess was dropped
};

using Clock = std::chrono::steady_clock;

// Waits until one of the open streams has data or `until` passes, then reads what is there.
// `scratch` is the caller's read buffer, reused across steps. `cancellable` lets the thread's
// cancellation act during the wait (thread_cancellation.h). Returns true when at least one
// stream overflowed during this step.
bool pump_streams(std::vector<CapturedStream>& streams, Clock::time_point until,
                  std::string& scratch, bool cancellable);

bool all_closed(const std::vector<CapturedStream>& streams);

}  // namespace tslib
