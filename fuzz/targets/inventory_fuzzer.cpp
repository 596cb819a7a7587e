// The device inventory (listMPIODevices) and the key lookup built on it (FindMpDeviceName), fed
// arbitrary /proc/partitions pipeline output through the scripted runner.
//
// Input: a flag byte (bit 0: verbose logging; bits 1-4: which device the lookup gets, see
// chooseDevice), the inventory command's status byte, then NUL-separated fields: the runner's
// error text, a device name, and the rest is the command's output.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdint>
#include <map>
#include <string>

#include "device_nodes.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "host_doubles.h"
#include "plugin_module.h"

namespace {

using DeviceMap = std::map<std::string, std::string>;

// What the inventory must make of the output: one entry per line of exactly three
// blank-separated tokens, the later line winning; every other non-empty line is reported.
DeviceMap expectedEntries(const std::string& output, size_t& rejected) {
    DeviceMap entries;
    rejected = 0;
    size_t start = 0;
    while (start <= output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        std::vector<std::string> tokens;
        size_t from = 0;
        while (true) {
            const size_t blank = line.find(' ', from);
            tokens.push_back(line.substr(from, blank == std::string::npos ? blank : blank - from));
            if (blank == std::string::npos) break;
            from = blank + 1;
        }
        if (tokens.size() == 3)
            entries[tokens[0] + "-" + tokens[1]] = tokens[2];
        else
            ++rejected;
    }
    return entries;
}

void checkInventory(const host_double::Reply& reply) {
    host_double::resetRunner();
    host_double::resetLogger();
    host_double::answerPrefix(inventory_cmd, reply);

    // Entries of the caller stay unless a line stores the same key again.
    const DeviceMap before = {{"253-0", "earlier"}, {"caller", "kept"}};
    DeviceMap devices = before;
    const int rc = listMPIODevices(devices);

    FUZZ_CHECK(host_double::commands() == std::vector<std::string>{inventory_cmd},
               "the inventory runs its pipeline once");
    if (reply.status != 0 || reply.output.empty()) {
        FUZZ_CHECK(rc == -1, "failed or empty inventory gave " + std::to_string(rc));
        FUZZ_CHECK(devices == before, "a failed inventory changed the caller's map");
        FUZZ_CHECK(host_double::countLogged("Failed to execute command=[") == 1,
                   "a failed inventory is logged once");
        return;
    }
    size_t rejected = 0;
    DeviceMap expected = expectedEntries(reply.output, rejected);
    expected.insert(before.begin(), before.end());  // keeps the stored value for equal keys
    FUZZ_CHECK(rc == 0, "inventory result " + std::to_string(rc));
    FUZZ_CHECK(devices == expected, "the map differs from the lines of the output");
    FUZZ_CHECK(host_double::countLogged("Invalid token count [") == rejected,
               "each malformed line is logged once");
}

void checkLookup(const std::string& device, const host_double::Reply& reply) {
    host_double::resetRunner();
    host_double::resetLogger();
    host_double::answerPrefix(inventory_cmd, reply);

    std::string name = "stale text of an earlier call";
    const int rc = FindMpDeviceName(device.c_str(), name);

    struct stat node {};
    if (stat(prepareDevName(device).c_str(), &node) != 0) {
        FUZZ_CHECK(rc == 0 && name == device, "a node that can't be stat'ed is no HDLM device");
        FUZZ_CHECK(host_double::commands().empty(), "no inventory for a missing node");
        FUZZ_CHECK(host_double::countLogged("Stat on ") == 1, "the failed stat is logged");
        return;
    }
    if (!S_ISBLK(node.st_mode)) {
        FUZZ_CHECK(rc == 0 && name == device, "only a block node names an HDLM device");
        FUZZ_CHECK(host_double::commands().empty(),
                   "no inventory for a node that is no block node");
        return;
    }
    FUZZ_CHECK(host_double::commands().size() == 1, "one inventory per lookup");
    if (reply.status != 0 || reply.output.empty()) {
        FUZZ_CHECK(rc == 0 && name == device, "no HDLM device without an inventory");
        return;
    }
    size_t rejected = 0;
    const DeviceMap entries = expectedEntries(reply.output, rejected);
    const std::string key =
        std::to_string(major(node.st_rdev)) + "-" + std::to_string(minor(node.st_rdev));
    const auto entry = entries.find(key);
    if (entry == entries.end()) {
        FUZZ_CHECK(rc == 0 && name == device, "key " + key + " is not in the inventory");
    } else {
        FUZZ_CHECK(rc == 1 && name == entry->second, "key " + key + " is in the inventory");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzhost::enterScratchNodes();
    fuzzhost::FuzzInput input(data, size);
    const uint8_t flags = input.flags(bVerboseLogging);
    host_double::Reply reply;
    reply.status = input.status();
    reply.error = input.field();
    const std::string fuzzedName = input.field();
    reply.output = input.rest();

    checkInventory(reply);
    // A C string ends at its first NUL: that is all of the name the plug-in can see.
    const std::string chosen = fuzzhost::chooseDevice(flags >> 1, fuzzedName);
    const std::string device = chosen.substr(0, chosen.find('\0'));
    checkLookup(device, reply);
    return 0;
}
