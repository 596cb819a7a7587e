// A freshly loaded plug-in: each instance dlopens its own copy of the library file, so its
// module state (admin_majors, bVerboseLogging) starts as at load, whether the tests of one
// binary run in one process or each in its own.
#pragma once

#include <memory>

#include "plugin_library.h"

struct PluginInstance : testsupport::PluginExports {
    void* handle = nullptr;

    PluginInstance() = default;
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;
    ~PluginInstance();
};

// Loads a private copy of the built plug-in and resolves every exported symbol; fails the
// calling test (and returns null) when anything is missing.
std::unique_ptr<PluginInstance> loadFreshPlugin();
