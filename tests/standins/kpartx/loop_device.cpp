#include "loop_device.h"

#include <unistd.h>

#include <cstdio>

#include "process_runner.h"

LoopDevice::LoopDevice(const std::string& image, unsigned sectorSize, uint64_t sizeLimitBytes) {
    if (geteuid() != 0) {
        failure_ = "setting up a loop device needs root";
        return;
    }
    std::string command = "losetup --find --show --sector-size " + std::to_string(sectorSize);
    if (sizeLimitBytes) command += " --sizelimit " + std::to_string(sizeLimitBytes);
    const testsupport::ProgramResult r =
        testsupport::runShell(command + " " + testsupport::shellQuote(image));
    std::string device = r.out.substr(0, r.out.find('\n'));
    if (r.status != 0 || device.rfind("/dev/loop", 0) != 0) {
        failure_ = "losetup could not attach " + image + " (exit status " +
                   std::to_string(r.status) + ": " + r.err + "); the kernel may lack loop devices";
        return;
    }
    path_ = device;
}

LoopDevice::~LoopDevice() {
    if (!attached()) return;
    const testsupport::ProgramResult r =
        testsupport::runShell("losetup --detach " + testsupport::shellQuote(path_));
    if (r.status != 0)
        std::fprintf(stderr, "losetup --detach %s failed (status %d: %s); detach it by hand\n",
                     path_.c_str(), r.status, r.err.c_str());
}
