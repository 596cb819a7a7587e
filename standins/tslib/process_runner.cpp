// TsProcess::system: the host's process runner. Runs the command (supervise.cpp) and turns what
// happened into the result and the texts the caller receives.
#include <sys/wait.h>

#include <cxxabi.h>

#include <cstring>
#include <new>
#include <string>

#include "child_status.h"
#include "exported_api.h"
#include "supervise.h"
#include "thread_cancellation.h"
#include "timeout_setting.h"

namespace {

struct Verdict {
    int result = -1;
    // The runner's own account, placed before any standard-error text (timeout, overflow, lost
    // status, failure to start).
    std::string headline;
    // How the command ended, shown only when it failed and wrote nothing to standard error.
    std::string ending;
};

std::string overflow_headline(const tslib::RunRecord& record) {
    const char* which = record.stdout_overflowed && record.stderr_overflowed
                            ? "standard output and standard error"
                        : record.stdout_overflowed ? "standard output"
                                                   : "standard error";
    return std::string("output on ") + which + " passed the limit of " +
           std::to_string(tslib::kOutputLimit >> 20) + " MiB; the command was killed";
}

Verdict judge(const tslib::RunRecord& record, int timeout_seconds) {
    Verdict verdict;
    if (record.spawn_error != 0) {
        // The GNU strerror_r, unlike strerror, is safe while other threads run commands too.
        char buffer[128];
        const char* reason = strerror_r(record.spawn_error, buffer, sizeof buffer);
        verdict.headline = std::string("could not start /bin/sh: ") + reason;
        return verdict;
    }
    if (record.stdout_overflowed || record.stderr_overflowed) {
        verdict.headline = overflow_headline(record);
        return verdict;
    }
    if (record.timed_out) {
        verdict.result = 124;
        verdict.headline = "timed out after " + std::to_string(timeout_seconds) + " s";
        return verdict;
    }
    // A signal that killed the wrapper itself came from outside and is exact; otherwise the
    // wrapper's report is the command's status.
    const bool wrapper_killed = record.has_wait_status && WIFSIGNALED(record.wait_status);
    if (record.has_wait_status &&
        (!record.wrapped || wrapper_killed || record.reported_status < 0)) {
        verdict.result = tslib::result_from_wait_status(record.wait_status);
        verdict.ending = tslib::sentence_from_wait_status(record.wait_status);
    } else if (record.reported_status >= 0) {
        verdict.result = record.reported_status;
        verdict.ending = tslib::sentence_from_shell_status(record.reported_status);
    } else {
        verdict.headline =
            "the command ended but its exit status was lost: the host's SIGCHLD handling "
            "reaped it first";
    }
    if (record.abandoned) {
        verdict.headline =
            "the command's output pipes stayed open after its process group "
            "was killed; stopped reading";
    }
    return verdict;
}

std::string error_text(const Verdict& verdict, std::string&& stderr_text) {
    if (!verdict.headline.empty()) {
        if (stderr_text.empty()) return verdict.headline;
        return verdict.headline + '\n' + stderr_text;
    }
    if (verdict.result != 0 && stderr_text.empty()) return verdict.ending;
    return std::move(stderr_text);
}

}  // namespace

// no_sanitize("null"): a forced unwind carries no C++ exception object, so the handler's
// reference binds to null by design (UBSan would report it and end the process).
__attribute__((no_sanitize("null"))) int TsProcess::system(const char* command, std::string* output,
                                                           std::string* error, int timeoutSeconds,
                                                           bool mergeStderr) {
    const cancellation::CancellationHeld cancellation;
    try {
        if (output != nullptr) output->clear();
        if (error != nullptr) error->clear();
        if (command == nullptr) {
            if (error != nullptr) *error = "no command given";
            return -1;
        }
        tslib::RunRequest request;
        request.command = command;
        request.keep_output = output != nullptr;
        request.keep_error = error != nullptr;
        request.merge_stderr = mergeStderr;
        request.timeout_seconds = tslib::effective_timeout_seconds(timeoutSeconds);
        request.cancellable = cancellation.host_allows();

        tslib::RunRecord record;
        tslib::supervise(request, record);
        const Verdict verdict = judge(record, request.timeout_seconds);
        if (output != nullptr) *output = std::move(record.out);
        if (error != nullptr) *error = error_text(verdict, std::move(record.err));
        return verdict.result;
    } catch (const abi::__forced_unwind&) {
        // The host cancelled the thread while the command ran: the unwinding has killed and
        // reaped it and closed its pipes; swallowing the unwind would abort the process.
        throw;
    } catch (...) {
        // Out of memory (the only other thing that can throw here): the child is already killed
        // and reaped by the unwinding; the caller gets a plain failure, never an exception.
        try {
            if (error != nullptr) *error = "out of memory while running the command";
        } catch (...) {
        }
        return -1;
    }
}
