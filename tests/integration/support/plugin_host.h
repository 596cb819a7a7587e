// A host as the data-protection agent is one: it dlopens the plug-in by path, resolves the nine
// entry points by their plain names and calls them through the hosts' call kit, every buffer
// fenced by guard bytes.
#pragma once
#include <string>

#include "guarded_storage.h"
#include "plugin_calls.h"
#include "plugin_library.h"

namespace integ {

using plugin_calls::Answer;
using plugin_calls::ErrorOutputs;
using ListCall = plugin_calls::ListAnswer;
using PartitionsCall = plugin_calls::PartitionsAnswer;
using plugin_calls::PartitionCheck;

// The library, loaded before the calls that use it.
struct LoadedLibrary {
    explicit LoadedLibrary(const std::string& path) : library(path) {}
    testsupport::PluginLibrary library;
};

class PluginHost : private LoadedLibrary, public guarded::Caller {
public:
    explicit PluginHost(const std::string& path)
        // The host's context is an opaque pointer the plug-in never reads; a distinct value
        // shows that.
        : LoadedLibrary(path), Caller(library.exports(), reinterpret_cast<void*>(0x5eed)) {}

    const char* vendorName() const { return library.exports().getVendorName(); }
    const char* exportedVendorName() const { return *library.exports().vendorName; }
};

}  // namespace integ
