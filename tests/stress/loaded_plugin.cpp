#include "loaded_plugin.h"

#include <dlfcn.h>

#include <stdexcept>
#include <type_traits>

namespace stress {

void LoadedPlugin::Closer::operator()(void* handle) const {
    dlclose(handle);
}

LoadedPlugin::LoadedPlugin(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw std::runtime_error("cannot load the plug-in: " + std::string(dlerror()));
    std::string missing;
    auto resolve = [&](auto& function, const char* symbol) {
        void* address = dlsym(handle_.get(), symbol);
        if (address == nullptr) missing += std::string(missing.empty() ? "" : ", ") + symbol;
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(address);
    };
    resolve(api_.getVendorName, "getVendorName");
    resolve(api_.init, "init");
    resolve(api_.getMPIODevices, "getMPIODevices");
    resolve(api_.isMPIODevice, "isMPIODevice");
    resolve(api_.getUnderlyingDevices, "getUnderlyingDevices");
    resolve(api_.refreshMPIO, "refreshMPIO");
    resolve(api_.deleteMPIODevice, "deleteMPIODevice");
    resolve(api_.isPartitionDevice, "isPartitionDevice");
    resolve(api_.getPartitionDevices, "getPartitionDevices");
    // The C++ helpers are exported under their mangled names (libstdc++'s new string ABI).
    resolve(api_.FindMpDeviceName,
            "_Z16FindMpDeviceNamePKcRNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE");
    resolve(api_.listMPIODevices,
            "_Z15listMPIODevicesRSt3mapINSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES5_"
            "St4lessIS5_ESaISt4pairIKS5_S5_EEE");
    resolve(api_.compareDevMajor, "_Z15compareDevMajori");
    if (!missing.empty())
        throw std::runtime_error(path + " lacks these exported symbols: " + missing +
                                 "; is it the HDLM plug-in?");
}

}  // namespace stress
