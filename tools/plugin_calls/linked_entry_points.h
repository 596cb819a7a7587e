// The entry points of a plug-in linked into this binary (the fuzzers compile the module in, the
// entry-point benchmark links the library): the same table the loader fills from dlsym.
#pragma once

#include "TsMPIO_HDLM.h"
#include "plugin_loader.h"

namespace plugin_calls {

inline plugin_loader::EntryPoints linkedEntryPoints() {
    // Field by field: cppcheck takes a braced list of function addresses for a dangling return.
    plugin_loader::EntryPoints entry;
#define TSMPIO_LINK_ENTRY_POINT(name) entry.name = &::name;
    TSMPIO_ENTRY_POINTS(TSMPIO_LINK_ENTRY_POINT)
#undef TSMPIO_LINK_ENTRY_POINT
    return entry;
}

}  // namespace plugin_calls
