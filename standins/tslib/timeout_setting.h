// How long a command may run before the runner stops it.
#pragma once

namespace tslib {

constexpr int kDefaultTimeoutSeconds = 300;

// `requested` when positive; otherwise TS_PROCESS_TIMEOUT (a positive whole number of seconds);
// otherwise, also when that variable is unset or not such a number, the default of 300.
int effective_timeout_seconds(int requested) noexcept;

}  // namespace tslib
