#include "log_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "unique_fd.h"

namespace tslib {

namespace {

// One write for the whole line keeps it atomic under O_APPEND. Only a short write (disk full, a
// pipe) continues with the rest, so that nothing is silently cut.
void write_all(int fd, const char* data, std::size_t size) noexcept {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

void write_log_line(const std::string& line) noexcept {
    const int saved_errno = errno;  // logging must not disturb the caller's errno
    const char* path = std::getenv("TS_DEBUG_LOG");
    if (path != nullptr && *path != '\0') {
        UniqueFd file(::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (file.valid()) {
            write_all(file.get(), line.data(), line.size());
            errno = saved_errno;
            return;
        }
    }
    write_all(STDERR_FILENO, line.data(), line.size());
    errno = saved_errno;
}

}  // namespace tslib
