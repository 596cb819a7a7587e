// getUnderlyingDevices on an arbitrary inventory, an arbitrary `dlnkmgr view -lu -item -hdev`
// pipeline output and a fuzzed device name, through the scripted runner. Checks every caller
// buffer between guard bytes, and that nothing but a plain device name ever follows -hdev.
//
// Input: a flag byte (bit 0: verbose logging; bit 1: major 1 counts as an HDLM major, so the
// memory devices and the scratch links look like HDLM partitions; bits 2-5: which device is
// asked for, see chooseDevice), a capacity byte, the status bytes of the inventory and of the
// -hdev pipeline, then NUL-separated fields: the inventory output, the -hdev output, the -hdev
// error text, and the rest is the fuzzed device name.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "device_nodes.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "guarded_storage.h"
#include "hdlm_commands.h"
#include "host_doubles.h"
#include "linked_entry_points.h"
#include "plugin_module.h"

namespace {

constexpr int kMaxEntries = 64;
// The -hdev command around the name: what stands before and after it.
const std::string kPathsPrefix =
    hdlm_commands::paths_cmd("").substr(0, hdlm_commands::paths_cmd("").find(" -hdev ") + 7);
const std::string kPathsFilter = hdlm_commands::paths_cmd("").substr(kPathsPrefix.size());
const std::string kPlainCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.";

// Whatever the inventory held, the shell sees only "<prefix><plain name><filter>".
void checkCommandIsSafe(const std::string& command) {
    if (command.compare(0, kPathsPrefix.size(), kPathsPrefix) != 0) return;
    const bool framed = command.size() > kPathsPrefix.size() + kPathsFilter.size() &&
                        command.compare(command.size() - kPathsFilter.size(), kPathsFilter.size(),
                                        kPathsFilter) == 0;
    FUZZ_CHECK(framed, "-hdev command is not prefix, name, filter: " + command);
    if (!framed) return;
    const std::string name = command.substr(
        kPathsPrefix.size(), command.size() - kPathsPrefix.size() - kPathsFilter.size());
    FUZZ_CHECK(name.find_first_not_of(kPlainCharacters) == std::string::npos,
               "a character outside [A-Za-z0-9_.-] reached the shell: " + command);
}

// A SCSI path's name: sd and letters a-z, bare or under /dev/, but not HDLM's own sddlm and two
// or three letters a-p.
bool namesScsiPath(const std::string& item) {
    const std::string name = item.rfind("/dev/", 0) == 0 ? item.substr(5) : item;
    if (name.size() < 3 || name.rfind("sd", 0) != 0 ||
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyz", 2) != std::string::npos)
        return false;
    const size_t letters = name.size() - 5;
    const bool hdlm = name.rfind("sddlm", 0) == 0 && (letters == 2 || letters == 3) &&
                      name.find_first_not_of("abcdefghijklmnop", 5) == std::string::npos;
    return !hdlm;
}

// What the partition test inside the call decides for the inventory name's path: the plug-in's
// own isPartitionDevice answers (its rules are proven by the plug-in's tests); here only that a
// partition's parent is the path without its number and that a failed stat is reported.
struct PartitionTest {
    bool partition = false;
    std::string parent;
    int statError = 0;  // what the test stored in errorCode, 0 when it stored nothing
};

PartitionTest expectPartitionTest(const std::string& path) {
    PartitionTest test;
    char parent[MAXMPIOPATHLEN + 1] = {};
    int errorCode = 0;
    char message[MAXMPIOERRORLEN] = {};
    test.partition = isPartitionDevice(nullptr, path.c_str(), parent, &errorCode, message) != 0;
    test.statError = errorCode;
    test.parent = parent;
    if (test.partition) {
        FUZZ_CHECK(test.parent == getParentDev(path).substr(0, MAXMPIOPATHLEN - 1),
                   "the parent of " + path + " is not the path without its number");
        struct stat node {};
        FUZZ_CHECK(stat(parent, &node) == 0, "a partition whose parent is missing");
    }
    return test;
}

struct Scenario {
    std::string device;
    int capacity = 0;
    host_double::Reply inventory;
    host_double::Reply paths;
};

void script(const Scenario& s) {
    host_double::resetRunner();
    host_double::answerPrefix(inventory_cmd, s.inventory);
    host_double::answerPrefix(kPathsPrefix, s.paths);
}

void checkCall(const Scenario& s) {
    // The lookup itself is proven by the inventory fuzzer; here it tells what the call resolves.
    script(s);
    std::string name;
    const bool found = FindMpDeviceName(s.device.c_str(), name) != 0;
    const PartitionTest partitionTest =
        found ? expectPartitionTest(prepareDevName(name)) : PartitionTest{};

    script(s);
    host_double::resetLogger();
    guarded::Caller caller(plugin_calls::linkedEntryPoints());
    const plugin_calls::ListAnswer answer = caller.underlying(s.device, s.capacity);
    const long long rc = answer.result;
    const int count = answer.count;
    const int errorCode = answer.error.code;
    const guarded::TextArray& entries = caller.buffers().lastEntries();
    const guarded::Text& message = caller.buffers().lastMessage();

    FUZZ_CHECK(answer.damage.empty(), "write outside a caller buffer: " + answer.damage);
    for (const std::string& command : host_double::commands()) checkCommandIsSafe(command);

    const auto entriesUntouched = [&] {
        for (size_t i = 0; i < entries.size(); ++i)
            FUZZ_CHECK(entries[i].untouched(), "entry " + std::to_string(i) + " written");
    };
    if (!found) {
        FUZZ_CHECK(rc == -6, "no HDLM device gave " + std::to_string(rc));
        FUZZ_CHECK(count == s.capacity && answer.error.untouched(),
                   "outputs written for a device that is not HDLM");
        entriesUntouched();
        return;
    }
    const std::string resolved = partitionTest.partition ? partitionTest.parent : name;
    const std::string bareName = removeNewLine(stripDev(resolved));
    // A listing that succeeded with an item that names no SCSI path fails the call; a path whose
    // disk has gone ("NAME -" after the disk's own name, or a lone "-") is no item at all.
    std::vector<std::string> lines = fuzzhost::linesOf(s.paths.output, false);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const std::string& line) {
                                   return line == "-" || line == bareName + " -";
                               }),
                lines.end());
    const auto unexpected = std::find_if_not(lines.begin(), lines.end(), namesScsiPath);
    const bool refusedItem = s.paths.status == 0 && unexpected != lines.end();
    if (partitionTest.statError != 0) {
        FUZZ_CHECK(errorCode == partitionTest.statError || errorCode == s.paths.status ||
                       (refusedItem && errorCode == -1),
                   "a failed stat of the partition test is reported in errorCode");
    }
    FUZZ_CHECK(host_double::countLogged("Device=[") == (partitionTest.partition ? 1u : 0u),
               "a partition is logged with its parent, always");

    if (bareName.empty() || bareName.find_first_not_of(kPlainCharacters) != std::string::npos) {
        FUZZ_CHECK(rc == -6,
                   "name [" + bareName + "] must be refused, result " + std::to_string(rc));
        FUZZ_CHECK(host_double::commands().size() == 1, "a refused name runs no -hdev command");
        FUZZ_CHECK(count == s.capacity, "count written for a refused name");
        entriesUntouched();
        return;
    }
    FUZZ_CHECK(host_double::commands().size() == 2 &&
                   host_double::commands()[1] == kPathsPrefix + bareName + kPathsFilter,
               "the -hdev command names " + bareName);

    if (s.paths.status != 0) {
        FUZZ_CHECK(rc == (s.paths.status < 0 ? s.paths.status : -s.paths.status),
                   "failed pipeline gave " + std::to_string(rc));
        FUZZ_CHECK(errorCode == s.paths.status, "the status goes into errorCode");
        fuzzhost::checkPadded(message, s.paths.error, "error message");
        FUZZ_CHECK(count == s.capacity, "count written on failure");
        entriesUntouched();
        return;
    }
    if (refusedItem) {
        FUZZ_CHECK(rc == -1 && errorCode == -1, "an item that is no SCSI path gave " +
                                                    std::to_string(rc) + " for [" + *unexpected +
                                                    "]");
        fuzzhost::checkPadded(message,
                              "Unexpected item [" + *unexpected + "] in the paths of " + bareName +
                                  ": not a SCSI device",
                              "error message");
        FUZZ_CHECK(count == s.capacity, "count written for an unexpected item");
        FUZZ_CHECK(host_double::countLogged("Unexpected item [") == 1, "logged once");
        entriesUntouched();
        return;
    }
    const int total = static_cast<int>(lines.size());
    const int filled = s.capacity > 0 ? std::min(total, s.capacity) : 0;
    FUZZ_CHECK(rc == (total > s.capacity ? total : 0), "result " + std::to_string(rc));
    FUZZ_CHECK(count == filled, "count " + std::to_string(count));
    if (partitionTest.statError == 0)
        FUZZ_CHECK(answer.error.untouched(), "a successful call wrote the error outputs");
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i < static_cast<size_t>(filled))
            fuzzhost::checkPadded(entries[i], lines[i], "entry " + std::to_string(i));
        else
            FUZZ_CHECK(entries[i].untouched(), "entry past the lines was written");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzhost::enterScratchNodes();
    fuzzhost::FuzzInput input(data, size);
    const uint8_t flags = input.flags(bVerboseLogging);
    admin_majors.clear();
    if ((flags & 2) != 0) admin_majors.push_back(fuzzhost::kMemoryMajor);

    Scenario s;
    s.capacity = input.capacity(kMaxEntries);
    s.inventory.status = input.status();
    s.paths.status = input.status();
    s.inventory.output = input.field();
    s.paths.output = input.field();
    s.paths.error = input.field();
    // A C string ends at its first NUL: that is all of the name the plug-in can see.
    s.device = fuzzhost::chooseDevice(static_cast<unsigned char>(flags >> 2), input.rest()).c_str();
    checkCall(s);
    return 0;
}
