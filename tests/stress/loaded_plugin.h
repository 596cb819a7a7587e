// The plug-in as a host loads it: dlopen by path, every entry point and exported helper by dlsym.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "TsMPIO_HDLM.h"

namespace stress {

// Every function the plug-in exports but init is what the stress calls from many threads.
struct PluginApi {
    decltype(&::getVendorName) getVendorName = nullptr;
    decltype(&::init) init = nullptr;
    decltype(&::getMPIODevices) getMPIODevices = nullptr;
    decltype(&::isMPIODevice) isMPIODevice = nullptr;
    decltype(&::getUnderlyingDevices) getUnderlyingDevices = nullptr;
    decltype(&::refreshMPIO) refreshMPIO = nullptr;
    decltype(&::deleteMPIODevice) deleteMPIODevice = nullptr;
    decltype(&::isPartitionDevice) isPartitionDevice = nullptr;
    decltype(&::getPartitionDevices) getPartitionDevices = nullptr;
    decltype(&::FindMpDeviceName) FindMpDeviceName = nullptr;
    decltype(&::listMPIODevices) listMPIODevices = nullptr;
    decltype(&::compareDevMajor) compareDevMajor = nullptr;
};

// A loaded plug-in; unloaded when the object goes.
class LoadedPlugin {
public:
    // Throws std::runtime_error with dlerror's text or the names of the missing symbols.
    explicit LoadedPlugin(const std::string& path);

    const PluginApi& api() const { return api_; }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
    PluginApi api_;
};

}  // namespace stress
