// Makes reads of one file fail from a given byte offset on, as a failing disk would. The test
// executable defines read() and pread() itself (and exports them), so the reads of libkpartx and
// libblkid come through here.
#pragma once
#include <sys/types.h>

#include <string>

class ReadFault {
public:
    // Armed until destroyed: reads of `path` that reach `fromByte` or beyond fail with `error`.
    ReadFault(const std::string& path, off_t fromByte, int error);
    ~ReadFault();
    ReadFault(const ReadFault&) = delete;
    ReadFault& operator=(const ReadFault&) = delete;

    // How many reads were made to fail: a fault that never fired proves nothing.
    static int injected();
};
