// HDLM's device names in the order HDLM hands them out (sddlmaa … sddlmpp, then sddlmaaa …
// sddlmpap), from the simulator's naming table, under the names this suite's tests use.
#pragma once
#include <string>

#include "topology/device_names.h"

namespace integ {

constexpr int kMaxHdlmNames = sim::kMaxHdlmDevices;

// The name HDLM gives its index-th device (0-based); empty past the last name.
inline std::string hdlmName(int index) {
    return index < 0 || index >= kMaxHdlmNames ? std::string() : sim::hdevName(index);
}

}  // namespace integ
