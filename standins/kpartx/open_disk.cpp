#include "open_disk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

int negativeErrno(int fallback) {
    return errno > 0 ? -errno : -fallback;
}

// libblkid takes a read error for "no table of this type", so a disk that can't be read at all
// would look blank. Reading its head first (where every table starts) turns that into an error.
int checkHeadReadable(int fd) {
    char head[4096];
    ssize_t n = 0;
    do {
        n = ::pread(fd, head, sizeof head, 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? negativeErrno(EIO) : 0;
}

}  // namespace

int openDisk(const char* path, OpenDisk& disk) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; reads of disks and files ignore it.
    disk.fd.reset(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (disk.fd.get() < 0) return negativeErrno(EIO);

    struct stat st {};
    if (::fstat(disk.fd.get(), &st) != 0) return negativeErrno(EIO);
    if (S_ISDIR(st.st_mode)) return -EISDIR;
    if (!S_ISBLK(st.st_mode) && !S_ISREG(st.st_mode)) return -ENOTBLK;
    if (int rc = checkHeadReadable(disk.fd.get()); rc < 0) return rc;

    errno = 0;
    disk.probe.reset(blkid_new_probe());
    if (!disk.probe) return -ENOMEM;
    errno = 0;
    if (blkid_probe_set_device(disk.probe.get(), disk.fd.get(), 0, 0) != 0)
        return negativeErrno(EIO);
    // Only partition tables: filesystem signatures are neither needed nor wanted here.
    if (blkid_probe_enable_superblocks(disk.probe.get(), 0) != 0 ||
        blkid_probe_enable_partitions(disk.probe.get(), 1) != 0)
        return -EIO;
    return 0;
}
