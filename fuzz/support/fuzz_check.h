// How a harness reports a property that does not hold. In a fuzzing build the process aborts at
// once, so libFuzzer keeps the input as a crash; the replay tests of the regular build collect
// the messages instead and fail the input that caused them.
#pragma once
#include <string>
#include <vector>

#include "guarded_memory.h"

namespace fuzzhost {

void reportFailure(const char* file, int line, const std::string& what);

// Messages reported since the last call; empties the list.
std::vector<std::string> takeFailures();

// Checks a buffer the plug-in filled with `expected` the way the caller buffers are filled:
// at most size-1 characters of it, zero bytes after them up to and including the last byte.
void checkPadded(const guarded::Text& block, const std::string& expected, const std::string& what);

}  // namespace fuzzhost

#define FUZZ_CHECK(condition, what)                                                          \
    do {                                                                                     \
        if (!(condition))                                                                    \
            ::fuzzhost::reportFailure(__FILE__, __LINE__,                                    \
                                      std::string(#condition) + " -- " + std::string(what)); \
    } while (0)
