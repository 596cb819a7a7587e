// A freshly loaded plug-in: each instance dlopens its own copy of the library file, so its
// module state (admin_majors, bVerboseLogging) starts as at load, whether the tests of one
// binary run in one process or each in its own.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "TsMPIO_HDLM.h"

struct PluginInstance {
    void* handle = nullptr;

    decltype(&::getVendorName) getVendorName = nullptr;
    decltype(&::init) init = nullptr;
    decltype(&::getMPIODevices) getMPIODevices = nullptr;
    decltype(&::isMPIODevice) isMPIODevice = nullptr;
    decltype(&::getUnderlyingDevices) getUnderlyingDevices = nullptr;
    decltype(&::refreshMPIO) refreshMPIO = nullptr;
    decltype(&::deleteMPIODevice) deleteMPIODevice = nullptr;
    decltype(&::isPartitionDevice) isPartitionDevice = nullptr;
    decltype(&::getPartitionDevices) getPartitionDevices = nullptr;

    int (*listMPIODevices)(std::map<std::string, std::string>&) = nullptr;
    int (*FindMpDeviceName)(const char*, std::string&) = nullptr;
    bool (*compareDevMajor)(int) = nullptr;

    bool* bVerboseLogging = nullptr;
    const char** vendorName = nullptr;

    PluginInstance() = default;
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;
    ~PluginInstance();
};

// Loads a private copy of the built plug-in and resolves every exported symbol; fails the
// calling test (and returns null) when anything is missing.
std::unique_ptr<PluginInstance> loadFreshPlugin();
