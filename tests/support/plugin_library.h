// The plug-in as a host loads it, for the tests: the probe's loader (dlopen by path, every
// export resolved from the handle), with all fourteen exports required — the nine entry points,
// the three C++ helpers and the two data symbols — and reachable under one struct.
#pragma once

#include <string>
#include <vector>

#include "plugin_loader.h"

namespace testsupport {

struct PluginExports : plugin_loader::EntryPoints, plugin_loader::OptionalExports {};

// Resolves every export of the plug-in loaded as `handle` into `exports`; returns the names of
// those it lacks (empty: all there).
std::vector<std::string> resolveExports(void* handle, PluginExports& exports);

// A loaded plug-in with every export resolved; unloaded when the object goes.
class PluginLibrary {
public:
    // Throws std::runtime_error with dlerror's text, or naming every export that is missing.
    explicit PluginLibrary(const std::string& path);

    const PluginExports& exports() const { return exports_; }
    void* handle() const { return plugin_.handle(); }

private:
    plugin_loader::LoadedPlugin plugin_;
    PluginExports exports_;
};

}  // namespace testsupport
