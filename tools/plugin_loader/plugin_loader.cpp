#include "plugin_loader.h"

#include <dlfcn.h>

namespace plugin_loader {

namespace {

std::string lastDlError() {
    const char* text = dlerror();
    return text ? text : "no reason given";
}

// dlsym hands back void*; the plug-in's header fixes the real type. Null when absent.
template <typename Fn>
bool resolve(void* handle, const char* name, Fn& slot) {
    dlerror();
    void* symbol = dlsym(handle, name);
    slot = reinterpret_cast<Fn>(symbol);
    return symbol != nullptr;
}

template <typename Fn>
void require(void* handle, const char* name, Fn& slot, std::vector<std::string>& missing) {
    if (!resolve(handle, name, slot)) missing.emplace_back(name);
}

}  // namespace

std::vector<std::string> resolveExports(void* handle, EntryPoints& e, OptionalExports& o) {
    std::vector<std::string> missing;
#define TSMPIO_REQUIRE_ENTRY_POINT(name) require(handle, #name, e.name, missing);
    TSMPIO_ENTRY_POINTS(TSMPIO_REQUIRE_ENTRY_POINT)
#undef TSMPIO_REQUIRE_ENTRY_POINT

    resolve(handle, "bVerboseLogging", o.bVerboseLogging);
    resolve(handle, "_VendorName", o.vendorName);
    // The C++ helpers under their mangled names (the C++11 std::string ABI).
    resolve(handle,
            "_Z15listMPIODevicesRSt3mapINSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES5_"
            "St4lessIS5_ESaISt4pairIKS5_S5_EEE",
            o.listMPIODevices);
    resolve(handle, "_Z16FindMpDeviceNamePKcRNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE",
            o.FindMpDeviceName);
    resolve(handle, "_Z15compareDevMajori", o.compareDevMajor);
    return missing;
}

void LoadedPlugin::Closer::operator()(void* handle) const {
    if (handle) dlclose(handle);
}

LoadedPlugin LoadedPlugin::open(const std::string& path, int dlopenFlags) {
    // A bare file name would send dlopen searching the library path; the caller named a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;

    LoadedPlugin plugin;
    plugin.path_ = path;
    dlerror();
    plugin.handle_.reset(dlopen(file.c_str(), dlopenFlags));
    if (!plugin.handle_) {
        throw LoadError("cannot load the plug-in " + path + ": " + lastDlError());
    }

    std::vector<std::string> missing =
        resolveExports(plugin.handle_.get(), plugin.entry_, plugin.optional_);
    if (!missing.empty()) {
        std::string names;
        for (const auto& name : missing) names += (names.empty() ? "" : ", ") + name;
        throw LoadError("the plug-in " + path + " lacks the entry point" +
                            (missing.size() > 1 ? "s " : " ") + names,
                        std::move(missing));
    }
    return plugin;
}

}  // namespace plugin_loader
