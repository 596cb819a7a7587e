#include "plugin_library.h"

#include <dlfcn.h>

#include <stdexcept>

namespace testsupport {
namespace {

// The exports a host may do without, but the tests call: named when absent.
std::vector<std::string> missingOptional(const plugin_loader::OptionalExports& o) {
    std::vector<std::string> missing;
    if (!o.bVerboseLogging) missing.emplace_back("bVerboseLogging");
    if (!o.vendorName) missing.emplace_back("_VendorName");
    if (!o.listMPIODevices) missing.emplace_back("listMPIODevices");
    if (!o.FindMpDeviceName) missing.emplace_back("FindMpDeviceName");
    if (!o.compareDevMajor) missing.emplace_back("compareDevMajor");
    return missing;
}

}  // namespace

std::vector<std::string> resolveExports(void* handle, PluginExports& exports) {
    std::vector<std::string> missing = plugin_loader::resolveExports(handle, exports, exports);
    for (std::string& name : missingOptional(exports)) missing.push_back(std::move(name));
    return missing;
}

PluginLibrary::PluginLibrary(const std::string& path)
    : plugin_(plugin_loader::LoadedPlugin::open(path, RTLD_NOW | RTLD_LOCAL)) {
    static_cast<plugin_loader::EntryPoints&>(exports_) = plugin_.entry();
    static_cast<plugin_loader::OptionalExports&>(exports_) = plugin_.optional();
    const std::vector<std::string> missing = missingOptional(exports_);
    if (!missing.empty()) {
        std::string names;
        for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
        throw std::runtime_error(path + " lacks these exported symbols: " + names +
                                 "; is it the HDLM plug-in?");
    }
}

}  // namespace testsupport
