// Loads a plug-in of the TsMPIO_HDLM interface with dlopen and resolves its exports with dlsym.
// Shared by mpio-probe and the tests, so every host of the plug-in loads it the same way.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"
#include "entry_points.h"

namespace plugin_loader {

// A plug-in that cannot be used: the file would not load or an entry point is missing.
class LoadError : public std::runtime_error {
public:
    explicit LoadError(const std::string& what, std::vector<std::string> missing = {})
        : std::runtime_error(what), missing_(std::move(missing)) {}
    // The entry points the file lacks; empty when dlopen itself failed.
    const std::vector<std::string>& missing() const { return missing_; }

private:
    std::vector<std::string> missing_;
};

// The nine C entry points, typed exactly as the plug-in's header declares them; all required.
struct EntryPoints {
// NOLINTNEXTLINE(bugprone-macro-parentheses): the argument names a member, not an expression
#define TSMPIO_ENTRY_POINT_FIELD(name) decltype(&::name) name = nullptr;
    TSMPIO_ENTRY_POINTS(TSMPIO_ENTRY_POINT_FIELD)
#undef TSMPIO_ENTRY_POINT_FIELD
};

// The exported data and C++ helpers; null when the plug-in does not export them.
struct OptionalExports {
    bool* bVerboseLogging = nullptr;
    const char** vendorName = nullptr;  // _VendorName
    int (*listMPIODevices)(std::map<std::string, std::string>&) = nullptr;
    int (*FindMpDeviceName)(const char*, std::string&) = nullptr;
    bool (*compareDevMajor)(int) = nullptr;
};

// Resolves the entry points and the optional exports of the library loaded as `handle`; returns
// the names of the entry points it lacks (empty: all there).
std::vector<std::string> resolveExports(void* handle, EntryPoints& entry,
                                        OptionalExports& optional);

// A loaded plug-in; the library stays loaded as long as this object lives.
class LoadedPlugin {
public:
    // dlopen(path, dlopenFlags), then every entry point. Throws LoadError with dlerror's text, or
    // naming every entry point that is missing. A path without '/' is taken as a file in the
    // current folder, not searched for along the library path.
    static LoadedPlugin open(const std::string& path, int dlopenFlags);

    const EntryPoints& entry() const { return entry_; }
    const OptionalExports& optional() const { return optional_; }
    const std::string& path() const { return path_; }
    void* handle() const { return handle_.get(); }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
    EntryPoints entry_;
    OptionalExports optional_;
    std::string path_;
};

}  // namespace plugin_loader
