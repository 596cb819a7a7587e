// The plug-in's nine C entry points, in the order of its header: the one list the hosts' side
// makes its tables from (the loader's struct and its dlsym calls, the table of a plug-in linked
// in, the tests' lists). A name added here must be declared in the plug-in's header, and the
// build (the bad-input call switch, the stress operations) and the exports test then say where
// a body or an export is still missing.
#pragma once

#include <cstddef>
#include <iterator>

// X(name) once per entry point; `name` is the C function's own identifier.
#define TSMPIO_ENTRY_POINTS(X) \
    X(getVendorName)           \
    X(init)                    \
    X(getMPIODevices)          \
    X(isMPIODevice)            \
    X(getUnderlyingDevices)    \
    X(refreshMPIO)             \
    X(deleteMPIODevice)        \
    X(isPartitionDevice)       \
    X(getPartitionDevices)

namespace plugin_loader {

// The names as the plug-in exports them, for lists and lookups by name.
#define TSMPIO_ENTRY_POINT_NAME(name) #name,
inline constexpr const char* kEntryPointNames[] = {TSMPIO_ENTRY_POINTS(TSMPIO_ENTRY_POINT_NAME)};
#undef TSMPIO_ENTRY_POINT_NAME

inline constexpr std::size_t kEntryPointCount = std::size(kEntryPointNames);

}  // namespace plugin_loader
