#include "open_disk.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

int negativeErrno(int fallback) { return errno > 0 ? -errno : -fallback; }

}  // namespace

int openDisk(const char* path, OpenDisk& disk) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; reads of disks and files ignore it.
    disk.fd.reset(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (disk.fd.get() < 0) return negativeErrno(EIO);

    struct stat st {};
    if (::fstat(disk.fd.get(), &st) != 0) return negativeErrno(EIO);
    if (S_ISDIR(st.st_mode)) return -EISDIR;
    if (!S_ISBLK(st.st_mode) && !S_ISREG(st.st_mode)) return -ENOTBLK;

    errno = 0;
    disk.probe.reset(blkid_new_probe());
    if (!disk.probe) return -ENOMEM;
    errno = 0;
    if (blkid_probe_set_device(disk.probe.get(), disk.fd.get(), 0, 0) != 0)
        return negativeErrno(EIO);
    if (blkid_probe_enable_partitions(disk.probe.get(), 1) != 0) return -EIO;
    return 0;
}
