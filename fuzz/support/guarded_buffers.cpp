#include "guarded_buffers.h"

#include <algorithm>
#include <cstring>

#include "fuzz_check.h"

namespace fuzzhost {

void GuardedBuffers::checkGuards(const std::string& what) const {
    FUZZ_CHECK(array_.pointersIntact(), what + ": the caller's pointer array was changed");
    for (size_t i = 0; i < array_.size(); ++i)
        FUZZ_CHECK(array_[i].guardsIntact(), what + ": write outside buffer " + std::to_string(i));
}

void checkPadded(const guarded::Text& block, const std::string& expected, const std::string& what) {
    const std::string kept = expected.substr(0, std::min(expected.size(), block.size() - 1));
    // Text with a NUL in it ends at the NUL, as a C string copy does.
    const std::string visible = kept.substr(0, kept.find('\0'));
    const char* data = block.chars();
    FUZZ_CHECK(std::memcmp(data, visible.data(), visible.size()) == 0,
               what + ": holds other text than [" + visible + "]");
    FUZZ_CHECK(block.zeroFrom(visible.size()), what + ": not zero-filled after its text");
}

}  // namespace fuzzhost
