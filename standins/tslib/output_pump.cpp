#include "output_pump.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "thread_cancellation.h"

namespace tslib {

namespace {

constexpr std::size_t kReadChunk = std::size_t{64} * 1024;  // one default pipe buffer per read

int poll_timeout_ms(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    // Round up so that we never spin on a deadline a fraction of a millisecond away.
    return static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60LL * 1000));
}

// Reads once from a readable stream. Returns true if it overflowed just now.
bool read_stream(CapturedStream& stream, char* buffer) {
    const ssize_t n = ::read(stream.fd.get(), buffer, kReadChunk);
    if (n < 0) {
        if (errno != EINTR && errno != EAGAIN) stream.fd.reset();
        return false;
    }
    if (n == 0) {
        stream.fd.reset();
        return false;
    }
    if (stream.keep == nullptr || stream.overflowed) return false;
    const std::size_t room = stream.limit - std::min(stream.limit, stream.keep->size());
    const std::size_t take = std::min(room, static_cast<std::size_t>(n));
    stream.keep->append(buffer, take);
    if (take < static_cast<std::size_t>(n)) {
        stream.overflowed = true;
        return true;
    }
    return false;
}

}  // namespace

bool all_closed(const std::vector<CapturedStream>& streams) {
    return std::none_of(streams.begin(), streams.end(),
                        [](const CapturedStream& s) { return s.fd.valid(); });
}

bool pump_streams(std::vector<CapturedStream>& streams, Clock::time_point until,
                  std::string& scratch, bool cancellable) {
    pollfd fds[4];
    CapturedStream* owners[4] = {};
    nfds_t count = 0;
    for (auto& stream : streams) {
        if (!stream.fd.valid() || count == 4) continue;
        fds[count] = pollfd{stream.fd.get(), POLLIN, 0};
        owners[count] = &stream;
        ++count;
    }
    if (count == 0) return false;
    const int timeout_ms = poll_timeout_ms(until);
    int ready;
    {
        const cancellation::CancellationWindow waiting(cancellable);
        ready = ::poll(fds, count, timeout_ms);
    }
    if (ready <= 0) return false;  // timeout, or EINTR: the caller loops and checks its clocks

    if (scratch.size() < kReadChunk) scratch.resize(kReadChunk);
    bool overflow = false;
    for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            overflow = read_stream(*owners[i], scratch.data()) || overflow;
        }
    }
    return overflow;
}

}  // namespace tslib
