#include "shell_spawn.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>

#include <cerrno>
#include <csignal>

#include "spawn_settings.h"
#include "unique_fd.h"

namespace tslib {

namespace {

constexpr const char* kShell = "/bin/sh";
constexpr const char* kShellName = "sh";  // argv[0]: the shell's messages start "sh: "

// Runs the command in an inner shell and reports its $? on fd 3. The inner shell is a subshell
// that takes the real standard error from fd 4, drops both status descriptors and then becomes
// `/bin/sh -c command`. The wrapper's own standard error stays /dev/null, so its job messages
// ("Killed") never mix into what the command wrote.
constexpr const char* kWrapper =
    "(exec 2>&4 3>&- 4>&- && exec /bin/sh -c -- \"$1\" sh); s=$?; echo \"$s\" >&3; exit \"$s\"";

constexpr int kWrapperStatusFd = 3;
constexpr int kWrapperStderrFd = 4;
constexpr int kFirstFreeFd = 5;  // above every descriptor the child is given

// The child's file actions dup our descriptors onto 0..4; a source below 5 could be overwritten
// by an earlier action (a host that closed its standard streams gets pipes at 0, 1, 2...).
int lift_above_targets(int fd, UniqueFd& holder) {
    if (fd >= kFirstFreeFd) return fd;
    holder.reset(::fcntl(fd, F_DUPFD_CLOEXEC, kFirstFreeFd));
    return holder.get();
}

// Adds a close action for every descriptor from `first` up that the command would inherit (one
// without close-on-exec). glibc 2.28, the oldest the library runs on, has no closefrom action, so
// the descriptors are listed here, just before the spawn. The runner's own pipes are close-on-exec,
// so commands started by other threads at the same moment never leak into this one; a descriptor
// closed meanwhile by another thread is skipped by the child (glibc ignores EBADF there).
int add_close_inheritable_from(posix_spawn_file_actions_t* fa, int first) {
    // A close action for `fd` when the command would inherit it; 0 or the action's error.
    const auto close_if_inheritable = [fa](int fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags < 0 || (flags & FD_CLOEXEC) != 0) return 0;
        return posix_spawn_file_actions_addclose(fa, fd);
    };
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) {
        // No /proc (a bare chroot): try every number the descriptor limit allows.
        rlimit limit{};
        const rlim_t top = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                               ? limit.rlim_cur
                               : 65536;
        for (int fd = first; fd < static_cast<int>(top); ++fd)
            if (const int rc = close_if_inheritable(fd); rc != 0) return rc;
        return 0;
    }
    int rc = 0;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd < first || fd == own) continue;
        rc = close_if_inheritable(static_cast<int>(fd));
        if (rc != 0) break;
    }
    ::closedir(dir);
    return rc;
}

// sigfillset() leaves out the signals glibc keeps for itself (32 and 33), and posix_spawn would
// then start the command with them ignored. Their bits are set directly so that the command
// starts with every signal at its default.
void fill_all_signals(sigset_t& set) {
    sigfillset(&set);
    constexpr int kBitsPerWord = 8 * sizeof set.__val[0];
    for (int sig = 1; sig < SIGRTMIN; ++sig) {
        if (sig == SIGKILL || sig == SIGSTOP) continue;
        set.__val[(sig - 1) / kBitsPerWord] |= 1UL << ((sig - 1) % kBitsPerWord);
    }
}

// Every signal back to its default, nothing blocked, and a process group of its own so that a
// timeout can stop the whole pipeline.
int set_attributes(posix_spawnattr_t* attr) {
    sigset_t all;
    sigset_t none;
    fill_all_signals(all);
    sigemptyset(&none);
    int rc = posix_spawnattr_setsigdefault(attr, &all);
    if (rc == 0) rc = posix_spawnattr_setsigmask(attr, &none);
    if (rc == 0) rc = posix_spawnattr_setpgroup(attr, 0);
    if (rc == 0) {
        rc = posix_spawnattr_setflags(
            attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    }
    return rc;
}

}  // namespace

pid_t spawn_shell(const SpawnRequest& request, int& error) noexcept {
    const bool wrapped = request.status_fd >= 0;
    UniqueFd out_holder, err_holder, status_holder;
    const int out_fd = lift_above_targets(request.stdout_fd, out_holder);
    const int err_fd = request.stderr_fd == request.stdout_fd
                           ? out_fd
                           : lift_above_targets(request.stderr_fd, err_holder);
    const int status_fd = wrapped ? lift_above_targets(request.status_fd, status_holder) : -1;
    if (out_fd < 0 || err_fd < 0 || (wrapped && status_fd < 0)) {
        error = errno;
        return -1;
    }

    SpawnFileActions actions;
    SpawnAttributes attributes;
    if (!actions.ok() || !attributes.ok()) {
        error = ENOMEM;
        return -1;
    }
    posix_spawn_file_actions_t* fa = actions.get();
    int rc = posix_spawn_file_actions_addopen(fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(fa, out_fd, STDOUT_FILENO);
    if (wrapped) {
        if (rc == 0)
            rc = posix_spawn_file_actions_addopen(fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(fa, err_fd, kWrapperStderrFd);
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(fa, status_fd, kWrapperStatusFd);
        if (rc == 0) rc = add_close_inheritable_from(fa, kFirstFreeFd);
    } else {
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(fa, err_fd, STDERR_FILENO);
        // The host may hold descriptors without close-on-exec: none of them reach the command.
        if (rc == 0) rc = add_close_inheritable_from(fa, STDERR_FILENO + 1);
    }
    if (rc == 0) rc = set_attributes(attributes.get());
    if (rc != 0) {
        error = rc;
        return -1;
    }

    // "--" keeps a command that starts with '-' from being read as shell options.
    char* wrapped_argv[] = {const_cast<char*>(kShellName),
                            const_cast<char*>("-c"),
                            const_cast<char*>("--"),
                            const_cast<char*>(kWrapper),
                            const_cast<char*>("sh"),
                            const_cast<char*>(request.command),
                            nullptr};
    char* plain_argv[] = {const_cast<char*>(kShellName), const_cast<char*>("-c"),
                          const_cast<char*>("--"), const_cast<char*>(request.command), nullptr};
    pid_t pid = -1;
    rc = posix_spawn(&pid, kShell, fa, attributes.get(), wrapped ? wrapped_argv : plain_argv,
                     environ);
    if (rc != 0) {
        error = rc;
        return -1;
    }
    return pid;
}

}  // namespace tslib
