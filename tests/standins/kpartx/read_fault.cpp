#include "read_fault.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace {

struct Fault {
    std::atomic<bool> armed{false};
    dev_t device = 0;
    ino_t inode = 0;
    off_t fromByte = 0;
    int error = 0;
    std::atomic<int> injected{0};
};
Fault fault;

bool shouldFail(int fd, off_t position, size_t length) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_dev != fault.device || st.st_ino != fault.inode) return false;
    if (position < 0 || position + static_cast<off_t>(length) <= fault.fromByte) return false;
    ++fault.injected;
    errno = fault.error;
    return true;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t length) {
    if (fault.armed.load() && shouldFail(fd, lseek(fd, 0, SEEK_CUR), length)) return -1;
    return syscall(SYS_read, fd, buffer, length);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t length, off_t offset) {
    if (fault.armed.load() && shouldFail(fd, offset, length)) return -1;
    return syscall(SYS_pread64, fd, buffer, length, offset);
}

extern "C" ssize_t pread(int fd, void* buffer, size_t length, off_t offset) {
    return pread64(fd, buffer, length, offset);
}

ReadFault::ReadFault(const std::string& path, off_t fromByte, int error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
    fault.device = st.st_dev;
    fault.inode = st.st_ino;
    fault.fromByte = fromByte;
    fault.error = error;
    fault.injected = 0;
    fault.armed = true;
}

ReadFault::~ReadFault() {
    fault.armed = false;
}

int ReadFault::injected() {
    return fault.injected.load();
}
