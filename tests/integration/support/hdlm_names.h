// HDLM's device names in the order HDLM hands them out: sddlmaa … sddlmpp, then sddlmaaa …
// sddlmpap.
#pragma once
#include <string>

namespace integ {

constexpr int kMaxHdlmNames = 512;

// The name HDLM gives its index-th device (0-based); empty past the last name.
std::string hdlmName(int index);

}  // namespace integ
