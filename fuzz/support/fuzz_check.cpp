#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>

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

}  // namespace fuzzhost
