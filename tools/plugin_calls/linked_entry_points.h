// The entry points of a plug-in linked into this binary (the fuzzers compile the module in, the
// entry-point benchmark links the library): the same table the loader fills from dlsym.
#pragma once

#include "TsMPIO_HDLM.h"
#include "plugin_loader.h"

namespace plugin_calls {

inline plugin_loader::EntryPoints linkedEntryPoints() {
    return {&getVendorName,        &init,        &getMPIODevices,   &isMPIODevice,
            &getUnderlyingDevices, &refreshMPIO, &deleteMPIODevice, &isPartitionDevice,
            &getPartitionDevices};
}

}  // namespace plugin_calls
