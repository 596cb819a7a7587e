#include "supervise.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

#include "output_pump.h"
#include "running_child.h"
#include "shell_spawn.h"
#include "thread_cancellation.h"
#include "unique_fd.h"

namespace tslib {

namespace {

using namespace std::chrono_literals;

constexpr auto kTermToKill = 1s;  // SIGTERM first, SIGKILL this much later
constexpr auto kAfterKill = 5s;   // then wait at most this long for the pipes to close
// The pipes close a moment before the exiting child becomes reapable: look again after a short
// pause that doubles up to a slow poll for a shell that closed its pipes early and runs on.
constexpr std::chrono::microseconds kFirstReapPause{20};
constexpr std::chrono::microseconds kMaxReapPause = 50ms;

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

bool open_pipe(Pipe& pipe, int& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = errno;
        return false;
    }
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    return true;
}

int parse_reported_status(const std::string& text) {
    // The wrapper writes "<0..255>\n"; anything else is not a status we saw.
    if (text.size() < 2 || text.size() > 4 || text.back() != '\n') return -1;
    int value = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value <= 255 ? value : -1;
}

enum class Phase { Running, Terminating, Killing };

}  // namespace

void supervise(const RunRequest& request, RunRecord& record) {
    record.wrapped = !waitpid_sees_children();

    Pipe out, err, status;
    int error = 0;
    if (!open_pipe(out, error) || (!request.merge_stderr && !open_pipe(err, error)) ||
        (record.wrapped && !open_pipe(status, error))) {
        record.spawn_error = error;
        return;
    }
    SpawnRequest spawn_request;
    spawn_request.command = request.command;
    spawn_request.stdout_fd = out.write.get();
    spawn_request.stderr_fd = request.merge_stderr ? out.write.get() : err.write.get();
    spawn_request.status_fd = record.wrapped ? status.write.get() : -1;
    const pid_t pid = spawn_shell(spawn_request, error);
    // Our copies of the write ends must go, or the pipes would never reach end of file.
    out.write.reset();
    err.write.reset();
    status.write.reset();
    if (pid < 0) {
        record.spawn_error = error;
        return;
    }
    RunningChild child(pid);

    std::string status_text;
    std::vector<CapturedStream> streams(1);
    streams.reserve(3);
    streams[0].fd = std::move(out.read);
    streams[0].keep = request.keep_output ? &record.out : nullptr;
    streams[0].limit = kOutputLimit;
    CapturedStream* stderr_stream = nullptr;
    if (!request.merge_stderr) {
        streams.emplace_back();
        streams.back().fd = std::move(err.read);
        streams.back().keep = request.keep_error ? &record.err : nullptr;
        streams.back().limit = kOutputLimit;
        stderr_stream = &streams.back();
    }
    if (record.wrapped) {
        streams.emplace_back();
        streams.back().fd = std::move(status.read);
        streams.back().keep = &status_text;
        streams.back().limit = 16;
    }

    std::string scratch;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(request.timeout_seconds);
    Phase phase = Phase::Running;
    Clock::time_point next_step = deadline;
    auto reap_pause = kFirstReapPause;
    while (true) {
        const bool pipes_done = all_closed(streams);
        child.try_reap();
        if (pipes_done && child.gone()) {
            // After a timeout or an overflow, return only once the whole pipeline is gone.
            if (phase == Phase::Running || child.group_empty()) break;
        }
        const auto now = Clock::now();
        if (now >= next_step) {
            if (phase == Phase::Running) {
                record.timed_out = true;
                child.signal_group(SIGTERM);
                phase = Phase::Terminating;
                next_step = now + kTermToKill;
            } else if (phase == Phase::Terminating) {
                child.signal_group(SIGKILL);
                phase = Phase::Killing;
                next_step = now + kAfterKill;
            } else {
                record.abandoned = true;  // someone left the group holding our pipes
                break;
            }
        }
        if (!pipes_done) {
            reap_pause = kFirstReapPause;
            if (pump_streams(streams, next_step, scratch, request.cancellable) &&
                phase == Phase::Running) {
                child.signal_group(SIGKILL);
                phase = Phase::Killing;
                next_step = Clock::now() + kAfterKill;
            }
        } else {
            const cancellation::CancellationWindow waiting(request.cancellable);
            std::this_thread::sleep_for(std::min<Clock::duration>(reap_pause, next_step - now));
            reap_pause = std::min(reap_pause * 2, kMaxReapPause);
        }
    }
    child.settle();

    record.stdout_overflowed = streams[0].overflowed;
    record.stderr_overflowed = stderr_stream != nullptr && stderr_stream->overflowed;
    record.has_wait_status = child.has_status();
    record.wait_status = child.wait_status();
    if (record.wrapped) record.reported_status = parse_reported_status(status_text);
}

}  // namespace tslib
