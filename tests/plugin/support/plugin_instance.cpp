#include "plugin_instance.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

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
    const std::vector<std::string> missing = testsupport::resolveExports(plugin->handle, *plugin);
    for (const std::string& symbol : missing) ADD_FAILURE() << "plug-in does not export " << symbol;
    if (!missing.empty()) return nullptr;
    return plugin;
}
