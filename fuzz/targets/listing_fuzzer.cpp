// getMPIODevices on arbitrary `dlnkmgr view -lu` pipeline output and a fuzzed capacity, through
// the scripted runner. Every caller buffer sits between guard bytes that are checked afterwards.
//
// Input: a flag byte (bit 0: verbose logging; bit 1: a null array where the capacity allows
// it), a capacity byte, the command's status byte, then NUL-separated fields: the runner's
// error text, and the rest is the command's output.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "guarded_storage.h"
#include "hdlm_commands.h"
#include "host_doubles.h"
#include "linked_entry_points.h"
#include "plugin_module.h"

namespace {

constexpr int kMaxEntries = 64;
const std::string& kListingCommand = hdlm_commands::listing_cmd;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzhost::FuzzInput input(data, size);
    const uint8_t flags = input.flags(bVerboseLogging);
    const int capacity = input.capacity(kMaxEntries);
    host_double::Reply reply;
    reply.status = input.status();
    reply.error = input.field();
    reply.output = input.rest();

    host_double::resetRunner();
    host_double::resetLogger();
    host_double::answerPrefix(kListingCommand, reply);

    guarded::Caller caller(plugin_calls::linkedEntryPoints());
    guarded::Storage& storage = caller.buffers();
    storage.nullEmptyArrays = (flags & 2) != 0;
    const plugin_calls::ListAnswer answer = caller.devices(capacity);
    const long long rc = answer.result;
    const int count = answer.count;
    const guarded::TextArray& entries = storage.lastEntries();
    const guarded::Text& message = storage.lastMessage();

    FUZZ_CHECK(answer.damage.empty(), "write outside a caller buffer: " + answer.damage);
    FUZZ_CHECK(host_double::commands() == std::vector<std::string>{kListingCommand},
               "the listing runs its pipeline once");

    if (reply.status != 0) {
        FUZZ_CHECK(rc == (reply.status < 0 ? reply.status : -reply.status),
                   "failed command gave " + std::to_string(rc));
        FUZZ_CHECK(answer.error.code == reply.status, "the status goes into errorCode");
        fuzzhost::checkPadded(message, reply.error, "error message");
        FUZZ_CHECK(count == capacity, "count written on failure");
        for (size_t i = 0; i < entries.size(); ++i)
            FUZZ_CHECK(entries[i].untouched(), "entry written on failure");
        FUZZ_CHECK(host_double::logs().empty(), "a failed listing logs nothing");
        return 0;
    }

    const std::vector<std::string> devices = fuzzhost::linesOf(reply.output, false);
    const int total = static_cast<int>(devices.size());
    const int filled = capacity > 0 ? std::min(total, capacity) : 0;
    FUZZ_CHECK(rc == (total > capacity ? total : 0),
               "result " + std::to_string(rc) + " for " + std::to_string(total) +
                   " devices and capacity " + std::to_string(capacity));
    FUZZ_CHECK(count == filled, "count " + std::to_string(count));
    FUZZ_CHECK(answer.error.untouched(), "a successful listing wrote the error outputs");
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i < static_cast<size_t>(filled))
            fuzzhost::checkPadded(entries[i], mpio_prefix + devices[i],
                                  "entry " + std::to_string(i));
        else
            FUZZ_CHECK(entries[i].untouched(), "entry past the devices was written");
    }
    FUZZ_CHECK(host_double::logs().size() == (bVerboseLogging ? 2u : 0u),
               "a successful listing logs its output and result only when verbose");
    return 0;
}
