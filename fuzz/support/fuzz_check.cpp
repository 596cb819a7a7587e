#include "fuzz_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host_doubles.h"

namespace fuzzhost {

namespace {
std::vector<std::string>& failures() {
    static std::vector<std::string> list;
    return list;
}

// A breach of the host's rules by the plug-in is a broken property like any other.
void reportBreach(const std::string& what) {
    reportFailure("host double", 0, what);
}
[[maybe_unused]] const bool breachesReported = (host_double::reportMisuseTo(reportBreach), true);
}  // namespace

void reportFailure(const char* file, int line, const std::string& what) {
    std::string message = std::string(file) + ":" + std::to_string(line) + ": " + what;
#ifdef HDLM_FUZZ_ABORT_ON_FAILURE
    std::fprintf(stderr, "fuzz check failed: %s\n", message.c_str());
    std::abort();
#else
    failures().push_back(std::move(message));
#endif
}

std::vector<std::string> takeFailures() {
    std::vector<std::string> taken;
    taken.swap(failures());
    return taken;
}

void checkPadded(const guarded::Text& block, const std::string& expected, const std::string& what) {
    const std::string kept = expected.substr(0, std::min(expected.size(), block.size() - 1));
    // Text with a NUL in it ends at the NUL, as a C string copy does.
    const std::string visible = kept.substr(0, kept.find('\0'));
    FUZZ_CHECK(std::memcmp(block.chars(), visible.data(), visible.size()) == 0,
               what + ": holds other text than [" + visible + "]");
    FUZZ_CHECK(block.zeroFrom(visible.size()), what + ": not zero-filled after its text");
}

}  // namespace fuzzhost
