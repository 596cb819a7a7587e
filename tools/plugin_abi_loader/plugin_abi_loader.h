// Loads a plug-in with dlopen and resolves its nine entry points with dlsym.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "TsMPIO_HDLM.h"

namespace probe {

// A plug-in that cannot be used: the file would not load or an entry point is missing.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The entry points, typed exactly as the plug-in's header declares them.
struct EntryPoints {
    decltype(&::getVendorName) getVendorName = nullptr;
    decltype(&::init) init = nullptr;
    decltype(&::getMPIODevices) getMPIODevices = nullptr;
    decltype(&::isMPIODevice) isMPIODevice = nullptr;
    decltype(&::getUnderlyingDevices) getUnderlyingDevices = nullptr;
    decltype(&::refreshMPIO) refreshMPIO = nullptr;
    decltype(&::deleteMPIODevice) deleteMPIODevice = nullptr;
    decltype(&::isPartitionDevice) isPartitionDevice = nullptr;
    decltype(&::getPartitionDevices) getPartitionDevices = nullptr;
};

// A loaded plug-in; the library stays loaded as long as this object lives.
class LoadedPlugin {
public:
    // Throws LoadError with dlerror's text, or naming every entry point that is missing.
    static LoadedPlugin load(const std::string& path);

    const EntryPoints& entry() const { return entry_; }
    const std::string& path() const { return path_; }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
    EntryPoints entry_;
    std::string path_;
};

}  // namespace probe
