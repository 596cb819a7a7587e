#include "plugin_instance.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <type_traits>

#include <gtest/gtest.h>

namespace {

// Copies the built library to a unique file, beside the test binary where that is writable,
// and returns its path.
std::string copyPlugin() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string path;
    int target = -1;
    for (const char* dir : {PLUGIN_COPY_DIR, tmpdir, "/tmp"}) {
        if (dir == nullptr || *dir == '\0') continue;
        path = std::string(dir) + "/plugin-copy-XXXXXX.so";
        target = mkstemps(path.data(), 3);
        if (target >= 0) break;
    }
    if (target < 0) return "";
    const int source = open(PLUGIN_PATH, O_RDONLY | O_CLOEXEC);
    struct stat info {};
    bool copied = source >= 0 && fstat(source, &info) == 0;
    off_t offset = 0;
    while (copied && offset < info.st_size)
        copied = sendfile(target, source, &offset, static_cast<size_t>(info.st_size - offset)) > 0;
    if (source >= 0) close(source);
    close(target);
    if (!copied) {
        unlink(path.c_str());
        return "";
    }
    return path;
}

}  // namespace

PluginInstance::~PluginInstance() {
    if (handle != nullptr) dlclose(handle);
}

std::unique_ptr<PluginInstance> loadFreshPlugin() {
    const std::string copy = copyPlugin();
    if (copy.empty()) {
        ADD_FAILURE() << "could not copy " << PLUGIN_PATH << " into " << PLUGIN_COPY_DIR
                      << " or a temporary folder; build the TsMPIO_HDLM target first";
        return nullptr;
    }
    auto plugin = std::make_unique<PluginInstance>();
    plugin->handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    const char* why = plugin->handle ? nullptr : dlerror();
    unlink(copy.c_str());  // the mapping stays; nothing is left behind
    if (plugin->handle == nullptr) {
        ADD_FAILURE() << "dlopen of a copy of " << PLUGIN_PATH << " failed: " << why;
        return nullptr;
    }
    void* h = plugin->handle;
    bool complete = true;
    auto take = [&](const char* symbol, auto& target) {
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(dlsym(h, symbol));
        if (target == nullptr) {
            ADD_FAILURE() << "plug-in does not export " << symbol;
            complete = false;
        }
    };
    take("getVendorName", plugin->getVendorName);
    take("init", plugin->init);
    take("getMPIODevices", plugin->getMPIODevices);
    take("isMPIODevice", plugin->isMPIODevice);
    take("getUnderlyingDevices", plugin->getUnderlyingDevices);
    take("refreshMPIO", plugin->refreshMPIO);
    take("deleteMPIODevice", plugin->deleteMPIODevice);
    take("isPartitionDevice", plugin->isPartitionDevice);
    take("getPartitionDevices", plugin->getPartitionDevices);
    take(
        "_Z15listMPIODevicesRSt3mapINSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES5_"
        "St4lessIS5_ESaISt4pairIKS5_S5_EEE",
        plugin->listMPIODevices);
    take("_Z16FindMpDeviceNamePKcRNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE",
         plugin->FindMpDeviceName);
    take("_Z15compareDevMajori", plugin->compareDevMajor);
    take("bVerboseLogging", plugin->bVerboseLogging);
    take("_VendorName", plugin->vendorName);
    if (!complete) return nullptr;
    return plugin;
}
