#include "plugin_loader.h"

#include <dlfcn.h>

#include <vector>

namespace probe {

namespace {

std::string lastDlError() {
    const char* text = dlerror();
    return text ? text : "no reason given";
}

// dlsym hands back void*; the plug-in's header fixes the real type.
template <typename Fn>
void resolve(void* handle, const char* name, Fn& slot, std::vector<std::string>& missing) {
    dlerror();
    void* symbol = dlsym(handle, name);
    if (!symbol) {
        missing.emplace_back(name);
        return;
    }
    slot = reinterpret_cast<Fn>(symbol);
}

}  // namespace

void LoadedPlugin::Closer::operator()(void* handle) const {
    if (handle) dlclose(handle);
}

LoadedPlugin LoadedPlugin::load(const std::string& path) {
    // A bare file name would send dlopen searching the library path; the user named a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;

    LoadedPlugin plugin;
    plugin.path_ = path;
    dlerror();
    // RTLD_NOW: an unresolved symbol inside the plug-in fails here, not halfway through a call.
    plugin.handle_.reset(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!plugin.handle_) {
        throw LoadError("cannot load the plug-in " + path + ": " + lastDlError() +
                        "\n  check the path, or give the plug-in with --plugin PATH");
    }

    void* handle = plugin.handle_.get();
    EntryPoints& e = plugin.entry_;
    std::vector<std::string> missing;
    resolve(handle, "getVendorName", e.getVendorName, missing);
    resolve(handle, "init", e.init, missing);
    resolve(handle, "getMPIODevices", e.getMPIODevices, missing);
    resolve(handle, "isMPIODevice", e.isMPIODevice, missing);
    resolve(handle, "getUnderlyingDevices", e.getUnderlyingDevices, missing);
    resolve(handle, "refreshMPIO", e.refreshMPIO, missing);
    resolve(handle, "deleteMPIODevice", e.deleteMPIODevice, missing);
    resolve(handle, "isPartitionDevice", e.isPartitionDevice, missing);
    resolve(handle, "getPartitionDevices", e.getPartitionDevices, missing);
    if (!missing.empty()) {
        std::string names;
        for (const auto& name : missing) names += (names.empty() ? "" : ", ") + name;
        throw LoadError(
            "the plug-in " + path + " lacks the entry point" + (missing.size() > 1 ? "s " : " ") +
            names +
            "\n  it was not built for this interface (see TsMPIO_HDLM.h); rebuild it or "
            "give another with --plugin PATH");
    }
    return plugin;
}

}  // namespace probe
