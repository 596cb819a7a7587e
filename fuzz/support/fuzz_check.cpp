#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>

namespace fuzzhost {

namespace {
std::vector<std::string>& failures() {
    static std::vector<std::string> list;
    return list;
}
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
