#include "timeout_setting.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace tslib {

int effective_timeout_seconds(int requested) noexcept {
    if (requested > 0) return requested;
    const char* text = std::getenv("TS_PROCESS_TIMEOUT");
    if (text == nullptr || *text < '0' || *text > '9') return kDefaultTimeoutSeconds;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value <= 0 || value > INT_MAX) return kDefaultTimeoutSeconds;
    return static_cast<int>(value);
}

}  // namespace tslib
