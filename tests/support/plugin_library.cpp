#include "plugin_library.h"

#include <dlfcn.h>

#include <stdexcept>
#include <type_traits>

namespace testsupport {

std::vector<std::string> resolveExports(void* handle, PluginExports& exports) {
    std::vector<std::string> missing;
    auto take = [&](const char* symbol, auto& target) {
        void* address = dlsym(handle, symbol);
        if (address == nullptr) missing.emplace_back(symbol);
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(address);
    };
    take("getVendorName", exports.getVendorName);
    take("init", exports.init);
    take("getMPIODevices", exports.getMPIODevices);
    take("isMPIODevice", exports.isMPIODevice);
    take("getUnderlyingDevices", exports.getUnderlyingDevices);
    take("refreshMPIO", exports.refreshMPIO);
    take("deleteMPIODevice", exports.deleteMPIODevice);
    take("isPartitionDevice", exports.isPartitionDevice);
    take("getPartitionDevices", exports.getPartitionDevices);
    // The C++ helpers are exported under their mangled names (libstdc++'s new string ABI).
    take(
        "_Z15listMPIODevicesRSt3mapINSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES5_"
        "St4lessIS5_ESaISt4pairIKS5_S5_EEE",
        exports.listMPIODevices);
    take("_Z16FindMpDeviceNamePKcRNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE",
         exports.FindMpDeviceName);
    take("_Z15compareDevMajori", exports.compareDevMajor);
    take("bVerboseLogging", exports.bVerboseLogging);
    take("_VendorName", exports.vendorName);
    return missing;
}

void PluginLibrary::Closer::operator()(void* handle) const {
    dlclose(handle);
}

PluginLibrary::PluginLibrary(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw std::runtime_error("cannot load the plug-in " + path + ": " + dlerror());
    const std::vector<std::string> missing = resolveExports(handle_.get(), exports_);
    if (!missing.empty()) {
        std::string names;
        for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
        throw std::runtime_error(path + " lacks these exported symbols: " + names +
                                 "; is it the HDLM plug-in?");
    }
}

}  // namespace testsupport
