// A host may end a request with pthread_cancel. glibc then unwinds the thread, with
// abi::__forced_unwind, from the next cancellation point it reaches: nearly every system call the
// stand-ins make (open, read, write, close, waitpid, poll, nanosleep), many of them in noexcept
// functions and destructors, where an unwind ends the process. So a stand-in holds cancellation
// off for its whole call (the logger, the partition reader), and the runner lets it in only while
// it waits for the command, in code that passes the unwind on; the destructors on the way out
// then kill and reap the command and close its pipes. Shared by the stand-in libraries.
#pragma once
#include <pthread.h>

namespace cancellation {

// Holds the calling thread's cancellation off for the object's lifetime, then restores the state
// the host had set. A cancellation requested meanwhile stays pending.
class CancellationHeld {
public:
    CancellationHeld() noexcept { pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &host_state_); }
    ~CancellationHeld() { pthread_setcancelstate(host_state_, nullptr); }
    CancellationHeld(const CancellationHeld&) = delete;
    CancellationHeld& operator=(const CancellationHeld&) = delete;

    // The host had cancellation enabled: the runner's waits may let it act.
    bool host_allows() const noexcept { return host_state_ == PTHREAD_CANCEL_ENABLE; }

private:
    int host_state_ = PTHREAD_CANCEL_DISABLE;
};

// Lets cancellation act during one wait (a poll, a pause) inside a CancellationHeld, when `open`:
// the host allowed it. Never open it around a noexcept call.
class CancellationWindow {
public:
    explicit CancellationWindow(bool open) noexcept : open_(open) {
        if (open_) pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, nullptr);
    }
    ~CancellationWindow() {
        if (open_) pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    }
    CancellationWindow(const CancellationWindow&) = delete;
    CancellationWindow& operator=(const CancellationWindow&) = delete;

private:
    bool open_;
};

}  // namespace cancellation
