// The small steps that building the sandbox repeats: a failed system call as an exception that
// names the step, a bind mount, and a directory handle that closes itself.
#pragma once
#include <dirent.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace sim {

// Throws std::runtime_error: `what` (the step, "binding X on Y") and errno's text.
[[noreturn]] inline void failed(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

inline void bind(const std::string& source, const std::string& target, bool recursive) {
    const unsigned long flags = MS_BIND | (recursive ? MS_REC : 0);
    if (mount(source.c_str(), target.c_str(), nullptr, flags, nullptr) != 0)
        failed("binding " + source + " on " + target);
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

}  // namespace sim
