// getPartitions (the libblkid-based reader of libkpartx) over arbitrary disk images, and the
// plug-in's conversion of the slices it returns into the host's TsPartInfo records.
//
// Input: the disk image itself, handed over as a memory file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "guarded_memory.h"
#include "plugin_module.h"

namespace {

// One memory file for the whole run, refilled with each image.
class MemoryDisk {
public:
    MemoryDisk() : fd_(memfd_create("hdlm-fuzz-disk", MFD_CLOEXEC)) {
        if (fd_ < 0) {
            std::perror("fuzz harness: memfd_create failed (needs Linux 3.17 or later)");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryDisk() { close(fd_); }
    MemoryDisk(const MemoryDisk&) = delete;
    MemoryDisk& operator=(const MemoryDisk&) = delete;

    // NOLINTNEXTLINE(readability-make-member-function-const): writes the disk behind fd_
    void fill(const uint8_t* data, size_t size) {
        bool ok = ftruncate(fd_, 0) == 0;
        size_t done = 0;
        while (ok && done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            ok = n > 0;
            if (ok) done += static_cast<size_t>(n);
        }
        if (!ok) {
            std::perror("fuzz harness: writing the image to the memory file failed");
            std::abort();
        }
    }
    const std::string& path() const { return path_; }

private:
    int fd_;
    std::string path_;
};

void checkSlices(const std::list<slice>& slices, uint64_t deviceSectors) {
    int previous = 0;
    for (const slice& s : slices) {
        const std::string what = "slice " + std::to_string(s.minor);
        FUZZ_CHECK(s.minor > previous, what + " out of partition-number order");
        previous = s.minor;
        FUZZ_CHECK(s.major == 0, what + " has a major");
        FUZZ_CHECK(s.size > 0, what + " is empty");
        FUZZ_CHECK(s.start < deviceSectors && s.size <= deviceSectors - s.start,
                   what + " lies outside the image of " + std::to_string(deviceSectors) +
                       " sectors: start " + std::to_string(s.start) + " size " +
                       std::to_string(s.size));
        FUZZ_CHECK(s.container >= 0 && s.container != s.minor, what + " contains itself");
        // A container is shown as the kernel shows it: its head only.
        for (const slice& logical : slices)
            if (logical.container == s.minor)
                FUZZ_CHECK(s.size <= 2,
                           what + " is a container of " + std::to_string(s.size) + " sectors");
    }
}

// The plug-in's EPartIterator over the slices into a guarded array of `capacity` entries.
void checkConversion(const std::list<slice>& slices, const std::string& disk, int capacity) {
    const int diskMajor = 253;
    const int diskMinor = 16;
    const size_t entries = static_cast<size_t>(capacity);
    guarded::Array<TsPartInfo> block(entries, "TsPartInfo array");
    TsPartInfo* info = block.data();

    std::for_each(slices.begin(), slices.end(),
                  EPartIterator(disk, diskMajor, diskMinor, info, capacity));

    FUZZ_CHECK(block.damage().empty(), "write outside the TsPartInfo array");
    size_t index = 0;
    for (const slice& s : slices) {
        if (index == entries) break;
        const TsPartInfo& e = info[index++];
        const std::string name = (disk + std::to_string(s.minor)).substr(0, 1022);
        FUZZ_CHECK(std::strlen(e.devName) == name.size() && name == e.devName,
                   "devName [" + std::string(e.devName, strnlen(e.devName, 1024)) + "]");
        bool zeroTail = true;
        for (size_t i = name.size(); i < sizeof e.devName; ++i)
            zeroTail = zeroTail && e.devName[i] == '\0';
        FUZZ_CHECK(zeroTail, "devName not zero-filled after the name");
        // A disk has 16 minors: a partition numbered outside 1..15 has no node, so 0:0.
        const bool hasNode = s.minor >= 1 && s.minor <= 15;
        const uint32_t expectMajor = hasNode ? static_cast<uint32_t>(diskMajor) : 0;
        const uint32_t expectMinor =
            hasNode ? static_cast<uint32_t>(diskMinor) + static_cast<uint32_t>(s.minor) : 0;
        FUZZ_CHECK(e.partNum == static_cast<uint32_t>(s.minor) && e.startSector == s.start &&
                       e.numSectors == s.size && e.sectorSize == 512 && e.devMajor == expectMajor &&
                       e.devMinor == expectMinor,
                   "record of partition " + std::to_string(s.minor));
    }
    // Entries past the slices keep whatever the caller had there.
    for (size_t i = index; i < entries; ++i)
        FUZZ_CHECK(block.untouched(i), "entry past the partitions was written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryDisk disk;
    disk.fill(data, size);

    // The caller's list keeps what it held; the partitions are appended behind it.
    const slice sentinel{7, 7, 7, 7, 7};
    std::list<slice> slices{sentinel};
    const int rc = getPartitions(disk.path().c_str(), slices);
    FUZZ_CHECK(rc >= 0, "a readable image gave " + std::to_string(rc));
    if (rc < 0) return 0;
    FUZZ_CHECK(slices.size() == 1 + static_cast<size_t>(rc), "result and slices appended differ");
    const slice& first = slices.front();
    FUZZ_CHECK(first.start == sentinel.start && first.size == sentinel.size &&
                   first.container == sentinel.container && first.major == sentinel.major &&
                   first.minor == sentinel.minor,
               "the caller's slice was changed");
    slices.pop_front();
    checkSlices(slices, size / 512);

    checkConversion(slices, "/dev/sddlmaa", rc);
    checkConversion(slices, "/dev/sddlmab", rc / 2);
    checkConversion(slices, "/dev/" + std::string(1015, 'x'), rc);  // names past 1022 are cut
    return 0;
}
