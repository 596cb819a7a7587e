// init on arbitrary /proc/devices pipeline output through the scripted runner, called up to three
// times in a row as a host that calls init per job does: admin_majors never gains a duplicate,
// and never a number that no line of the output holds; output without one fails init.
//
// Input: a flag byte (bits 0-1: number of calls, 1 to 3; bit 2: admin_majors already holds 253
// and 0), then per call the status bytes of `dlnkmgr view -sys -msrv` and of the /proc/devices
// pipeline and the pipeline's output, NUL-terminated.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "hdlm_commands.h"
#include "host_doubles.h"
#include "plugin_calls.h"
#include "plugin_module.h"

namespace {

// init is called directly: the check below is on the very pointer it returns.
using plugin_calls::kUntouchedCode;
using plugin_calls::kUntouchedText;
const std::string& kMajorsCommand = hdlm_commands::admin_majors_cmd;

// A line holds a major when it is 1 to 10 decimal digits whose value fits an int.
bool plainMajor(const std::string& line, int& major) {
    if (line.empty() || line.size() > 10 ||
        line.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long value = std::stoull(line);
    if (value > INT_MAX) return false;
    major = static_cast<int>(value);
    return true;
}

void checkNoDuplicate() {
    for (size_t i = 0; i < admin_majors.size(); ++i)
        for (size_t j = i + 1; j < admin_majors.size(); ++j)
            FUZZ_CHECK(admin_majors[i] != admin_majors[j],
                       "admin_majors holds " + std::to_string(admin_majors[i]) + " twice");
}

void checkOneInit(int checkStatus, int majorsStatus, const std::string& output) {
    host_double::resetRunner();
    host_double::resetLogger();
    host_double::answerPrefix(mpioviewinfo_cmd,
                              host_double::Reply{checkStatus, "HDLM version 8.8", ""});
    host_double::answerPrefix(kMajorsCommand,
                              host_double::Reply{majorsStatus, output, "grep failed"});

    const std::vector<int> before = admin_majors;
    int errorCode = kUntouchedCode;
    char message[MAXMPIOERRORLEN] = {};
    std::copy(std::begin(kUntouchedText), std::end(kUntouchedText), message);
    const char* vendor = init(nullptr, &errorCode, message);

    FUZZ_CHECK(errorCode == kUntouchedCode && std::string(message) == kUntouchedText,
               "init wrote its error outputs");
    std::vector<std::string> expectedCommands{mpioviewinfo_cmd};
    if (checkStatus == 0) expectedCommands.push_back(kMajorsCommand);
    FUZZ_CHECK(host_double::commands() == expectedCommands, "init runs its two checks in order");

    if (checkStatus != 0 || majorsStatus != 0 || output.empty()) {
        FUZZ_CHECK(vendor == nullptr, "init succeeded without HDLM");
        FUZZ_CHECK(admin_majors == before, "a failed init changed admin_majors");
        return;
    }
    std::vector<int> expected = before;
    size_t numbers = 0;
    size_t others = 0;
    for (const std::string& line : fuzzhost::linesOf(output, true)) {
        int major = 0;
        if (!plainMajor(line, major)) {
            ++others;
            continue;
        }
        ++numbers;
        if (std::find(expected.begin(), expected.end(), major) == expected.end())
            expected.push_back(major);
    }
    // Output without a single major number leaves the driver unrecognisable: init fails.
    FUZZ_CHECK(vendor == (numbers > 0 ? _VendorName : nullptr),
               "init with " + std::to_string(numbers) + " major lines returned the wrong result");
    FUZZ_CHECK(admin_majors == expected, "admin_majors differs from the numbers of the output");
    FUZZ_CHECK(host_double::countLogged("Admin device major number [") == numbers,
               "each major line is logged");
    FUZZ_CHECK(host_double::countLogged("Ignoring line [") == others,
               "each line that is not a major is logged");
    checkNoDuplicate();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzhost::FuzzInput input(data, size);
    const uint8_t flags = input.byte();
    admin_majors.clear();
    if ((flags & 4) != 0) admin_majors = {253, 0};
    const int calls = 1 + (flags & 3) % 3;
    for (int i = 0; i < calls; ++i) {
        const int checkStatus = input.status();
        const int majorsStatus = input.status();
        checkOneInit(checkStatus, majorsStatus, input.field());
    }
    return 0;
}
