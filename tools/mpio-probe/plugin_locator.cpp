#include "plugin_locator.h"

#include <unistd.h>

#include <array>
#include <climits>
#include <filesystem>

#include "plugin_loader.h"

#ifndef MPIO_PROBE_MULTIARCH
#define MPIO_PROBE_MULTIARCH "x86_64-linux-gnu"
#endif

namespace probe {

namespace {
const char* const kPluginFile = "libTsMPIO_HDLM.so";
// The folder where an install keeps the project's own libraries apart from the system's.
const char* const kPrivateLibDir = "tsmpio-hdlm";
}  // namespace

std::vector<std::string> defaultPluginCandidates(const std::string& binaryDir) {
    // <prefix>/bin/mpio-probe: the plug-in lies under <prefix>/lib.
    const std::string lib = std::filesystem::path(binaryDir).parent_path().string() + "/lib/";
    const std::string multiarch = MPIO_PROBE_MULTIARCH;
    return {
        lib + kPluginFile,                    // build tree: build/bin, build/lib
        lib + multiarch + "/" + kPluginFile,  // installed: /usr/lib/<multiarch>
        lib + multiarch + "/" + kPrivateLibDir + "/" + kPluginFile,  // installed, private folder
        lib + kPrivateLibDir + "/" + kPluginFile,                    // installed, no multiarch
    };
}

std::string ownBinaryDir() {
    std::array<char, PATH_MAX> buffer{};
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    std::string path(buffer.data(), static_cast<size_t>(length));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string locateDefaultPlugin() {
    std::string dir = ownBinaryDir();
    if (dir.empty()) {
        throw LoadError(
            "cannot find the plug-in: /proc/self/exe cannot be read, so the probe does not know "
            "where it lies\n  give the plug-in with --plugin PATH");
    }
    std::string tried;
    for (const auto& candidate : defaultPluginCandidates(dir)) {
        if (access(candidate.c_str(), F_OK) == 0) return candidate;
        tried += "\n  " + candidate;
    }
    throw LoadError("cannot find the plug-in " + std::string(kPluginFile) +
                    " beside the probe; tried:" + tried +
                    "\n  build it (make) or give it with --plugin PATH");
}

}  // namespace probe
