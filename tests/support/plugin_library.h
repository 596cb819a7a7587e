// The plug-in as a host loads it: dlopen by path, then every export resolved from the handle
// into one struct (the nine entry points, the three C++ helpers and the two data symbols).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"

namespace testsupport {

struct PluginExports {
    decltype(&::getVendorName) getVendorName = nullptr;
    decltype(&::init) init = nullptr;
    decltype(&::getMPIODevices) getMPIODevices = nullptr;
    decltype(&::isMPIODevice) isMPIODevice = nullptr;
    decltype(&::getUnderlyingDevices) getUnderlyingDevices = nullptr;
    decltype(&::refreshMPIO) refreshMPIO = nullptr;
    decltype(&::deleteMPIODevice) deleteMPIODevice = nullptr;
    decltype(&::isPartitionDevice) isPartitionDevice = nullptr;
    decltype(&::getPartitionDevices) getPartitionDevices = nullptr;

    decltype(&::listMPIODevices) listMPIODevices = nullptr;
    decltype(&::FindMpDeviceName) FindMpDeviceName = nullptr;
    decltype(&::compareDevMajor) compareDevMajor = nullptr;

    bool* bVerboseLogging = nullptr;
    const char** vendorName = nullptr;  // _VendorName
};

// Resolves every export of the plug-in loaded as `handle` into `exports`; returns the names of
// those it lacks (empty: all there).
std::vector<std::string> resolveExports(void* handle, PluginExports& exports);

// A loaded plug-in with every export resolved; unloaded when the object goes.
class PluginLibrary {
public:
    // Throws std::runtime_error with dlerror's text, or naming every export that is missing.
    explicit PluginLibrary(const std::string& path);

    const PluginExports& exports() const { return exports_; }
    void* handle() const { return handle_.get(); }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
    PluginExports exports_;
};

}  // namespace testsupport
