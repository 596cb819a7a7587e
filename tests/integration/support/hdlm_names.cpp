#include "hdlm_names.h"

namespace integ {

std::string hdlmName(int index) {
    if (index < 0 || index >= kMaxHdlmNames) return {};
    std::string name = "sddlm";
    // Two letters for the first 256 devices; then a middle 'a' keeps three-letter names apart.
    int i = index < 256 ? index : index - 256;
    name += char('a' + i / 16);
    if (index >= 256) name += 'a';
    name += char('a' + i % 16);
    return name;
}

}  // namespace integ
