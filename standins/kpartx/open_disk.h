// Opens a disk (block device or image file) read-only and attaches a libblkid probe to it.
#pragma once
#include "probe_handle.h"
#include "unique_fd.h"

struct OpenDisk {
    UniqueFd fd;  // declared first: outlives the probe that reads through it
    ProbeHandle probe;
};

// Returns 0, or a negative errno: -ENOENT, -EACCES, -EISDIR for a directory, -ENOTBLK for
// anything that is neither a block device nor a regular file (a FIFO, socket or char device),
// the read error of a disk whose first 4 KiB can't be read (-EIO, -ENOMEDIUM, ...).
int openDisk(const char* path, OpenDisk& disk);
