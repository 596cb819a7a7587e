// TsMPIO_HDLM: the HDLM multipath plug-in that the host agent dlopens.
//
// Every answer is learnt afresh on each call: from dlnkmgr, from /proc/partitions and
// /proc/devices through shell pipelines run by the host's process runner, from stat on device
// nodes and from the disk's partition table (getPartitions of libkpartx). Nothing is cached.
// The plug-in starts no threads and takes no locks: init writes the module state, everything
// else only reads it, so the host must not overlap init with any other call.
#include "TsMPIO_HDLM.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cxxabi.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "EvDebug.h"
#include "FXString.h"
#include "TsProcess.h"
#include "hdlm_commands.h"
#include "kpartx.h"

// Only what the host may see leaves the library; the version script holds the exact list.
#define TSMPIO_EXPORT __attribute__((visibility("default")))

// Module state. The two data symbols are part of the interface; everything else is file-local.
// The plug-in reads and writes them only through hidden names at the same addresses: another
// vendor's plug-in loaded earlier with RTLD_GLOBAL exports the same two names, and a reference
// through the exported name would reach its copy. (The functions are bound the same way by
// -Bsymbolic-functions at link time.)
extern "C" {
__attribute__((visibility("hidden"))) bool tsmpio_verbose_logging = false;
__attribute__((visibility("hidden"))) const char* tsmpio_vendor_name = "Tessarine: HDS HDLM MPIO";
TSMPIO_EXPORT extern bool bVerboseLogging __attribute__((alias("tsmpio_verbose_logging")));
TSMPIO_EXPORT extern const char* _VendorName __attribute__((alias("tsmpio_vendor_name")));
}

namespace {

// HDLM driver majors from /proc/devices; compareDevMajor tells HDLM nodes by them.
std::vector<int> admin_majors;

using hdlm_commands::admin_majors_cmd;
using hdlm_commands::inventory_cmd;
using hdlm_commands::listing_cmd;
using hdlm_commands::mpioaddpath_cmd;
using hdlm_commands::mpiodeletepath_cmd;
using hdlm_commands::mpioviewinfo_cmd;
using hdlm_commands::paths_cmd;

const std::string sMPIODebugFile = "/tmp/MPIO_HDLM_VERBOSE_LOGGING";
const std::string mpio_prefix = "/dev/";

// One short-lived logger per message, as the host's logger expects. A macro keeps the
// compiler's printf-format checking at every call site.
#define HDLM_LOG(label, level, ...)                      \
    do {                                                 \
        EvDebug hdlmLogger_(nullptr);                    \
        hdlmLogger_.DebugLvl(label, level, __VA_ARGS__); \
    } while (0)

// Every command goes through the host's runner the same way: in the pinned environment, no
// timeout of our own, stderr kept apart. The logs show the command without the environment.
int runShell(const std::string& command, std::string& output, std::string& error) {
    return TsProcess::system(hdlm_commands::pinned(command).c_str(), &output, &error, 0, false);
}

// Fills a whole caller buffer of `size` bytes: at most size-1 characters, zero bytes after them
// and a NUL in the last byte, so no stale text of the caller survives behind the answer.
void copyPadded(char* buffer, const char* text, size_t size) {
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
}

void copyPadded(char* buffer, const std::string& text, size_t size) {
    copyPadded(buffer, text.c_str(), size);
}

// A runner status as a negative result: -|status| without overflow for INT_MIN.
int negatedStatus(int status) {
    return status < 0 ? status : -status;
}

// The guard at the head of the entry points whose error outputs are required: a null errorCode
// fails at once, a null errorMessage after -1 is stored in *errorCode.
bool errorOutputsMissing(int* errorCode, const char* errorMessage) {
    if (errorCode == nullptr) return true;
    if (errorMessage == nullptr) {
        *errorCode = -1;
        return true;
    }
    return false;
}

// Refuses a null argument of an entry point that has the error-output pair.
int refuseNull(const char* argument, int* errorCode, char* errorMessage) {
    *errorCode = -1;
    std::snprintf(errorMessage, MAXMPIOERRORLEN, "Invalid argument: %s is null", argument);
    return -1;
}

// A host thread's cancellation must pass through the plug-in, as through any C library: glibc
// unwinds a cancelled thread with abi::__forced_unwind, and a handler that ends it aborts the
// process. Called inside a catch (...): rethrows the exception being handled when it is that
// unwind, and returns for anything else. The unwind carries no C++ exception object, so the
// handler's reference binds to null by design, which UBSan would report (no_sanitize("null")).
__attribute__((no_sanitize("null"))) void passCancellationOn() {
    try {
        throw;
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        // Anything else stops at the barrier, which reports it.
    }
}

// Runs an entry point's body. Library code may throw (std::bad_alloc from a string, or whatever
// the host's libraries throw); no exception may unwind into the host's C caller, so it becomes
// the entry point's failure result and `onFailure` reports it through the error outputs. A
// cancelled thread's unwind passes on (so this barrier is not noexcept).
template <typename Result, typename Body, typename OnFailure>
Result callGuarded(Result failure, Body body, OnFailure onFailure) {
    try {
        return body();
    } catch (const std::exception& e) {
        onFailure(e.what());
    } catch (...) {
        passCancellationOn();
        onFailure("unknown exception");
    }
    return failure;
}

// Failure report of an entry point whose error outputs may be null.
void reportInternalFailure(const char* label, const char* what, int* errorCode,
                           char* errorMessage) noexcept {
    if (errorCode != nullptr) *errorCode = -1;
    if (errorMessage != nullptr)
        std::snprintf(errorMessage, MAXMPIOERRORLEN, "%s: internal failure: %s", label, what);
}

// stat(2) of a path, as stat(3) answers it (0, or -1 with errno). glibc 2.33 made stat a symbol
// of its own, stat@GLIBC_2.33, which hosts with an older glibc do not have; the system call
// itself is as old as the plug-in's platform floor (GLIBC_2.17), and on x86-64 the kernel's
// struct stat is glibc's.
int statNode(const char* path, struct stat* node) {
#if defined(__x86_64__) && defined(SYS_newfstatat)
    return static_cast<int>(syscall(SYS_newfstatat, AT_FDCWD, path, node, 0));
#else
    return stat(path, node);
#endif
}

// ---- Device-name helpers ----

// The last path component.
std::string stripDev(const std::string& name) {
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The name cut at its last newline (command output lines often still carry one).
std::string removeNewLine(const std::string& name) {
    const size_t newline = name.rfind('\n');
    return newline == std::string::npos ? name : name.substr(0, newline);
}

// The path under which a device node is looked up: HDLM names live directly under /dev/.
std::string prepareDevName(const std::string& name) {
    if (name.find("sddlm") != std::string::npos) return mpio_prefix + removeNewLine(stripDev(name));
    return removeNewLine(name);
}

// An HDLM partition is its disk's name followed by the partition number: drop trailing digits,
// but never the first character.
std::string getParentDev(std::string name) {
    if (name.empty()) return name;
    size_t position = name.size() - 1;
    while (static_cast<unsigned>(name[position] - '0') <= 9 && position > 0) --position;
    std::string parent = name.substr(0, position + 1);
    if (tsmpio_verbose_logging)
        HDLM_LOG("HDLM::getParentDev", 0, "device [%s] parent device [%s]", name.c_str(),
                 parent.c_str());
    return parent;
}

// A /proc/devices line holds a major number only when it is nothing but decimal digits that
// fit an int; anything else (an empty line, a stray blank) must not become major 0.
bool parseMajor(const std::string& line, int& major) {
    if (line.empty() || line.size() > 10) return false;
    long long value = 0;
    for (char c : line) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > INT_MAX) return false;
    major = static_cast<int>(value);
    return true;
}

// The name after -hdev reaches /bin/sh: only a plain device name may stand there.
bool isPlainDeviceName(const std::string& name) {
    if (name.empty()) return false;
    for (unsigned char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!plain) return false;
    }
    return true;
}

// HDLM's own device names: sddlm, two or three letters a-p, optionally a partition number.
bool isHdlmName(const std::string& name) {
    const size_t stem = 5;
    if (name.compare(0, stem, "sddlm") != 0) return false;
    size_t letters = 0;
    while (stem + letters < name.size() && name[stem + letters] >= 'a' &&
           name[stem + letters] <= 'p')
        ++letters;
    if (letters < 2 || letters > 3) return false;
    for (size_t i = stem + letters; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

// A SCSI path as the -item listing names it: sd and letters, with or without /dev/, and not one
// of HDLM's own names.
bool isScsiPathName(const std::string& item) {
    const std::string name = item.compare(0, mpio_prefix.size(), mpio_prefix) == 0
                                 ? item.substr(mpio_prefix.size())
                                 : item;
    if (name.size() < 3 || name.compare(0, 2, "sd") != 0) return false;
    for (size_t i = 2; i < name.size(); ++i)
        if (name[i] < 'a' || name[i] > 'z') return false;
    return !isHdlmName(name);
}

// The items of a listing: its non-empty lines, in order (a run of newlines separates like one).
std::vector<std::string> listedItems(const std::string& output) {
    std::vector<std::string> items;
    size_t position = 0;
    while (position < output.size()) {
        size_t newline = output.find('\n', position);
        if (newline == std::string::npos) newline = output.size();
        if (newline > position) items.emplace_back(output, position, newline - position);
        position = newline + 1;
    }
    return items;
}

// Hands a listing to the caller as the list entry points do: `prefix` and each item into the
// caller's entries, as many as `*count` allows; `*count` becomes the number filled, and the
// result is 0 when every item fitted, else the number of items. `arrayName` names the array in
// the refusal of a null entry.
int fillList(const std::vector<std::string>& items, const std::string& prefix, char** entries,
             int* count, const char* arrayName, int* errorCode, char* errorMessage) {
    const int capacity = *count;
    const int total = static_cast<int>(items.size());
    int filled = 0;
    for (; filled < capacity && filled < total; ++filled) {
        if (entries[filled] == nullptr)
            return refuseNull((std::string(arrayName) + "[" + std::to_string(filled) + "]").c_str(),
                              errorCode, errorMessage);
        copyPadded(entries[filled], prefix + items[static_cast<size_t>(filled)], MAXMPIOPATHLEN);
    }
    *count = filled;
    return total > capacity ? total : 0;
}

// ---- Partition enumeration ----

// Turns each slice of the disk into one TsPartInfo of the caller's array, in list order, as
// long as there is room; records beyond the capacity are dropped.
class EPartIterator {
public:
    EPartIterator(std::string parentDev, int parentMajor, int parentMinor, TsPartInfo* entries,
                  int maxEntries)
        : nextIndex(0),
          parentMajor(parentMajor),
          parentMinor(parentMinor),
          parentDev(std::move(parentDev)),
          maxEntries(maxEntries),
          entries(entries) {}

    void operator()(slice s) {
        // HDLM gives a disk 16 minors: disk minor + N would be the next disk's partition, and a
        // number below 1 the disk itself or the previous disk's. 0:0 names no device, so the host
        // cannot act on another disk. Such a partition is counted, so it is logged whether or not
        // its record fits.
        const bool outsideDiskMinors = s.minor < 1 || s.minor > maxPartitionNumber;
        const bool fits = nextIndex < maxEntries;
        if (outsideDiskMinors)
            HDLM_LOG("HDLM::getPartitionDevices", -1, "Partition %d of %s has no device node: %s",
                     s.minor, parentDev.c_str(),
                     fits ? "recorded with device number 0:0"
                          : "not recorded, beyond the caller's capacity");
        TsPartInfo info;
        if (fits) {
            std::snprintf(info.devName, sizeof(info.devName) - 1, "%s%d", parentDev.c_str(),
                          s.minor);
            info.partNum = static_cast<uint32_t>(s.minor);
            info.startSector = s.start;
            info.numSectors = s.size;
            info.sectorSize = 512;
            if (!outsideDiskMinors) {
                info.devMajor = static_cast<uint32_t>(parentMajor);
                // Unsigned: a reader's absurd partition number wraps instead of overflowing.
                info.devMinor = static_cast<uint32_t>(parentMinor) + static_cast<uint32_t>(s.minor);
            }
            entries[nextIndex] = info;
            ++nextIndex;
        }
    }

private:
    static constexpr int maxPartitionNumber = 15;
    int nextIndex;
    int parentMajor;
    int parentMinor;
    std::string parentDev;
    int maxEntries;
    TsPartInfo* entries;
};

// ---- Entry point bodies (the exported wrappers below add the exception barrier) ----

const char* initBody(int* errorCode, const char* errorMessage) {
    if (errorOutputsMissing(errorCode, errorMessage)) return nullptr;
    tsmpio_verbose_logging = access(sMPIODebugFile.c_str(), F_OK) == 0;
    if (tsmpio_verbose_logging) HDLM_LOG("HDLM::init", 0, "Enabling HDLM MPIO verbose logging");

    std::string output;
    std::string error;
    if (runShell(mpioviewinfo_cmd, output, error) != 0) return nullptr;
    const char* vendor = tsmpio_vendor_name;

    if (runShell(admin_majors_cmd, output, error) != 0 || output.empty()) return nullptr;

    // Every line counts, the last one also without its newline; a major already known is not
    // added again, so a host that calls init per job does not grow the list. Output without a
    // single major number means the driver can't be recognised: that is a failed init.
    size_t majorsSeen = 0;
    size_t position = 0;
    while (position < output.size()) {
        size_t newline = output.find('\n', position);
        if (newline == std::string::npos) newline = output.size();
        const std::string line = output.substr(position, newline - position);
        position = newline + 1;
        int major = 0;
        if (!parseMajor(line, major)) {
            HDLM_LOG("HDLM::init", -1, "Ignoring line [%s] that is not a major number",
                     line.c_str());
            continue;
        }
        if (std::find(admin_majors.begin(), admin_majors.end(), major) == admin_majors.end())
            admin_majors.push_back(major);
        ++majorsSeen;
        HDLM_LOG("HDLM::init", 0, "Admin device major number [%s]", line.c_str());
    }
    return majorsSeen > 0 ? vendor : nullptr;
}

int getMPIODevicesBody(char** mpioDevices, int* count, int* errorCode, char* errorMessage) {
    if (errorOutputsMissing(errorCode, errorMessage)) return -1;
    if (count == nullptr) return refuseNull("count", errorCode, errorMessage);
    if (mpioDevices == nullptr && *count > 0)
        return refuseNull("mpioDevices", errorCode, errorMessage);

    const std::string& command = listing_cmd;
    std::string output;
    std::string error;
    const int status = runShell(command, output, error);
    if (status != 0) {
        *errorCode = status;
        copyPadded(errorMessage, error, MAXMPIOERRORLEN);
        return negatedStatus(status);
    }
    if (tsmpio_verbose_logging)
        HDLM_LOG("HDLM::getMPIODevices", 0, "command [%s] output [%s]", command.c_str(),
                 output.c_str());

    // One device per non-empty line; empty lines (the one after a final newline included)
    // are no devices and must not make a fitting array look too small.
    const int result = fillList(listedItems(output), mpio_prefix, mpioDevices, count, "mpioDevices",
                                errorCode, errorMessage);
    if (result < 0) return result;
    if (tsmpio_verbose_logging)
        HDLM_LOG("HDLM::getMPIODevices", 0, "count [%d] rc [%d].", *count, result);
    return result;
}

int isMPIODeviceBody(const char* device, int* errorCode, char* errorMessage) {
    if (errorOutputsMissing(errorCode, errorMessage)) return -1;
    if (device == nullptr) return refuseNull("device", errorCode, errorMessage);
    std::string name;
    return FindMpDeviceName(device, name);
}

int isPartitionDeviceBody(const char* device, char* parent, int* errorCode, char* errorMessage) {
    if (device == nullptr) {
        if (errorCode != nullptr) *errorCode = EINVAL;
        if (errorMessage != nullptr)
            std::snprintf(errorMessage, MAXMPIOERRORLEN, "Invalid argument: device is null");
        return 0;
    }
    struct stat node {};
    if (statNode(device, &node) != 0) {
        const int error = errno;
        if (errorCode != nullptr) *errorCode = error;
        if (errorMessage != nullptr)
            std::snprintf(errorMessage, MAXMPIOERRORLEN, "Stat %s failed:%d", device, error);
        return 0;
    }
    // Only a block node names a block device: character majors are numbered apart, and a
    // character node (bsg, say) may carry an HDLM disk's very numbers.
    if (!S_ISBLK(node.st_mode)) return 0;
    if (!compareDevMajor(static_cast<int>(major(node.st_rdev)))) return 0;
    if ((minor(node.st_rdev) & 15) == 0) return 0;

    const std::string parentName = getParentDev(device);
    if (parent == nullptr) return 1;
    std::snprintf(parent, MAXMPIOPATHLEN, "%s", parentName.c_str());

    struct stat parentNode {};
    if (statNode(parent, &parentNode) != 0) {
        const int error = errno;
        if (errorCode != nullptr) *errorCode = error;
        HDLM_LOG("HDLM::isPartitionDevice", -1, "pdev stat failed %s(parent:%s) :%d", device,
                 parent, error);
        if (errorMessage != nullptr)
            std::snprintf(errorMessage, MAXMPIOERRORLEN, "pdev stat failed %s(parent:%s) :%d",
                          device, parent, error);
        return 0;
    }
    return 1;
}

int getUnderlyingDevicesBody(const char* mpioDevice, char** underlyingDevices, int* count,
                             int* errorCode, char* errorMessage) {
    if (errorOutputsMissing(errorCode, errorMessage)) return -1;
    if (mpioDevice == nullptr) return refuseNull("mpioDevice", errorCode, errorMessage);
    if (count == nullptr) return refuseNull("count", errorCode, errorMessage);
    if (underlyingDevices == nullptr && *count > 0)
        return refuseNull("underlyingDevices", errorCode, errorMessage);

    std::string name = mpioDevice;
    int result = 0;
    // The closing verbose line ends every call that got past the argument checks, failures too.
    const auto finish = [&](int rc) {
        if (tsmpio_verbose_logging)
            HDLM_LOG("HDLM::getUnderlyingDevices", 0,
                     "MPIO Device[%s] Underlying Device count[%d] rc [%d]", name.c_str(), *count,
                     rc);
        return rc;
    };
    if (FindMpDeviceName(mpioDevice, name) == 0) {
        result = -6;
    } else {
        char parent[MAXMPIOPATHLEN + 1] = {};
        if (isPartitionDeviceBody(prepareDevName(name).c_str(), parent, errorCode, errorMessage) !=
            0) {
            HDLM_LOG("HDLM::getUnderlyingDevices", 0,
                     "Device=[%s] is a partition device, parent=[%s]", name.c_str(), parent);
            name = parent;
        }
        // The bare name is the only text of ours that reaches the shell: it comes from the
        // inventory or from the parent's path, and is refused unless it is a plain name.
        const std::string bareName = removeNewLine(stripDev(name));
        if (!isPlainDeviceName(bareName)) {
            HDLM_LOG("HDLM::getUnderlyingDevices", -1,
                     "Refusing device name [%s]: only letters, digits, '_', '-' and '.' may "
                     "follow -hdev",
                     bareName.c_str());
            result = -6;
        } else {
            const std::string command = paths_cmd(bareName);
            std::string output;
            std::string error;
            const int status = runShell(command, output, error);
            if (status != 0) {
                *errorCode = status;
                copyPadded(errorMessage, error, MAXMPIOERRORLEN);
                result = negatedStatus(status);
            } else {
                if (tsmpio_verbose_logging)
                    HDLM_LOG("HDLM::getUnderlyingDevices", 0, "command [%s] output [%s]",
                             command.c_str(), output.c_str());
                std::vector<std::string> items = listedItems(output);
                // HDLM shows a path whose SCSI disk has gone with Device "-" until delete -path
                // drops it: that path has no device, and the LU's other paths are the answer.
                // The filter prints it after the HDevName that stands before it ("sddlmaa -"):
                // a "-" after anything else is another layout's column.
                const std::string gonePath = bareName + " -";
                items.erase(std::remove_if(items.begin(), items.end(),
                                           [&](const std::string& item) {
                                               return item == gonePath || item == "-";
                                           }),
                            items.end());
                // The Device column is found by counting columns from the line's end, and
                // HDLM releases differ in the columns after it: an item that names no SCSI
                // path means another layout, and the host must not take it for a device.
                const auto unexpected =
                    std::find_if_not(items.begin(), items.end(), isScsiPathName);
                if (unexpected != items.end()) {
                    HDLM_LOG("HDLM::getUnderlyingDevices", -1,
                             "Unexpected item [%s] in the output of command [%s]: not a SCSI "
                             "device",
                             unexpected->c_str(), command.c_str());
                    *errorCode = -1;
                    copyPadded(errorMessage,
                               "Unexpected item [" + *unexpected + "] in the paths of " + bareName +
                                   ": not a SCSI device",
                               MAXMPIOERRORLEN);
                    return finish(-1);
                }
                result = fillList(items, "", underlyingDevices, count, "underlyingDevices",
                                  errorCode, errorMessage);
            }
        }
    }
    return finish(result);
}

int refreshMPIOBody(int* errorCode, char* errorMessage) {
    if (errorOutputsMissing(errorCode, errorMessage)) return -1;
    std::string output;
    std::string error;
    // The deletion's status never reaches the caller: only the addition's outcome counts.
    runShell(mpiodeletepath_cmd, output, error);
    if (tsmpio_verbose_logging)
        HDLM_LOG("HDLM::refreshMPIO", 0, "command [%s] output [%s]", mpiodeletepath_cmd.c_str(),
                 output.c_str());
    output.clear();
    *errorCode = 0;
    std::memset(errorMessage, 0, MAXMPIOERRORLEN);

    const int status = runShell(mpioaddpath_cmd, output, error);
    if (status != 0) {
        *errorCode = status;
        copyPadded(errorMessage, error, MAXMPIOERRORLEN);
    }
    if (tsmpio_verbose_logging)
        HDLM_LOG("HDLM::refreshMPIO", 0, "command [%s] output [%s]", mpioaddpath_cmd.c_str(),
                 output.c_str());
    return status;
}

int deleteMPIODeviceBody(int* errorCode, const char* errorMessage) {
    if (errorOutputsMissing(errorCode, errorMessage)) return -1;
    return 0;
}

// The -1 failure of getPartitionDevices: each output written where the caller gave one.
int failPartitionDevices(const char* message, int* count, int* errorCode, char* errorMessage) {
    if (count != nullptr) *count = 0;
    if (errorCode != nullptr) *errorCode = -1;
    if (errorMessage != nullptr) copyPadded(errorMessage, message, MAXMPIOERRORLEN);
    return -1;
}

int getPartitionDevicesBody(const char* device, TsPartInfo* partInfo, int* count, int* errorCode,
                            char* errorMessage) {
    if (device == nullptr)
        return failPartitionDevices("Invalid argument: device is null", count, errorCode,
                                    errorMessage);
    if (count == nullptr)
        return failPartitionDevices("Invalid argument: count is null", count, errorCode,
                                    errorMessage);
    if (partInfo == nullptr && *count > 0)
        return failPartitionDevices("Invalid argument: partInfo is null", count, errorCode,
                                    errorMessage);

    std::list<slice> slices;
    // A node that cannot be stat'ed keeps device number 0 and fails the major test below.
    struct stat node {};
    statNode(device, &node);
    if (isPartitionDeviceBody(device, nullptr, errorCode, errorMessage) != 0)
        return failPartitionDevices(device, count, errorCode, errorMessage);
    const int diskMajor = static_cast<int>(major(node.st_rdev));
    const int diskMinor = static_cast<int>(minor(node.st_rdev));
    // Only a block device (or a disk image) carries a table. Character majors are numbered
    // apart from block majors, so a character node may share an HDLM number; opening it to
    // read a table could have side effects (a watchdog node arms itself on open).
    const bool disk = S_ISBLK(node.st_mode) || S_ISREG(node.st_mode);
    if (!compareDevMajor(diskMajor) || !disk)
        return failPartitionDevices(device, count, errorCode, errorMessage);

    const int found = getPartitions(device, slices);
    if (found < 0) {
        *count = 0;
        if (errorCode != nullptr) *errorCode = found;
        if (errorMessage != nullptr) copyPadded(errorMessage, device, MAXMPIOERRORLEN);
        return found;
    }
    std::for_each(slices.begin(), slices.end(),
                  EPartIterator(device, diskMajor, diskMinor, partInfo, *count));
    *count = found;
    return found;
}

}  // namespace

// ---- Exported C++ helpers (mangled names) ----

TSMPIO_EXPORT bool compareDevMajor(int major) {
    return std::find(admin_majors.begin(), admin_majors.end(), major) != admin_majors.end();
}

// The inventory: every /proc/partitions device whose line holds sddlm, keyed "major-minor".
TSMPIO_EXPORT int listMPIODevices(std::map<std::string, std::string>& devices) {
    std::string output;
    std::string error;
    if (runShell(inventory_cmd, output, error) != 0 || output.empty()) {
        HDLM_LOG("HDLM::listMPIODvices", -1, "Failed to execute command=[%s], error=[%s]",
                 inventory_cmd.c_str(), error.c_str());
        return -1;
    }
    if (tsmpio_verbose_logging)
        HDLM_LOG("HDLM::listMPIODvices", 0, "command [%s] output [%s]", inventory_cmd.c_str(),
                 output.c_str());
    std::vector<std::string> lines;
    FXString::Split(output, "\n", lines, 0);
    // One token list and one key for all lines, and each insertion hinted after the previous
    // one: /proc/partitions lists a disk's partitions in order, mostly the map's order too.
    std::vector<std::string> tokens;
    std::string key;
    auto hint = devices.end();
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        tokens.clear();
        FXString::Split(line, " ", tokens, 0);
        if (tokens.size() == 3) {
            key.assign(tokens[0]).append(1, '-').append(tokens[1]);
            hint = devices.insert_or_assign(hint, key, std::move(tokens[2]));
            if (tsmpio_verbose_logging)
                HDLM_LOG("HDLM::listMPIODvices", 0, "Inserting [%s:%s]", key.c_str(),
                         hint->second.c_str());
            ++hint;
        } else {
            HDLM_LOG("HDLM::listMPIODvices", -1, "Invalid token count [%d] for line [%s]",
                     static_cast<int>(tokens.size()), line.c_str());
        }
    }
    return 0;
}

// Resolves a device node to its HDLM device by device number, not by name.
TSMPIO_EXPORT int FindMpDeviceName(const char* device, std::string& mpioDevice) {
    if (device == nullptr) {
        mpioDevice.clear();
        return 0;
    }
    int result = 0;
    mpioDevice = device;
    const std::string path = prepareDevName(device);
    struct stat node {};
    if (statNode(path.c_str(), &node) != 0) {
        const int error = errno;
        HDLM_LOG("HDLM::FindMpDeviceName", 0, "Stat on %s failed [%d:%s].", path.c_str(), error,
                 std::strerror(error));
        return 0;
    }
    // /proc/partitions lists block devices: a character node with the same numbers is none.
    if (!S_ISBLK(node.st_mode)) {
        if (tsmpio_verbose_logging)
            HDLM_LOG("HDLM::FindMpDeviceName", 0, "%s is not a block device node.", path.c_str());
        return 0;
    }
    std::map<std::string, std::string> devices;
    if (listMPIODevices(devices) != 0) return 0;

    char key[64] = {};
    std::snprintf(key, sizeof(key), "%d-%d", static_cast<int>(major(node.st_rdev)),
                  static_cast<int>(minor(node.st_rdev)));
    if (tsmpio_verbose_logging)
        HDLM_LOG("HDLM::FindMpDeviceName", 0,
                 "Finding key [%s] for device [%s] in list of MPIO devices", key, path.c_str());
    const auto entry = devices.find(key);
    if (entry == devices.end()) {
        if (tsmpio_verbose_logging)
            HDLM_LOG("HDLM::FindMpDeviceName", 0, "Not found key [%s]", key);
    } else {
        result = 1;
        mpioDevice = entry->second;
        if (tsmpio_verbose_logging)
            HDLM_LOG("HDLM::FindMpDeviceName", 0, "Found key [%s] MPIO Device [%s]", key,
                     mpioDevice.c_str());
    }
    return result;
}

// ---- The nine entry points ----

extern "C" {

TSMPIO_EXPORT const char* getVendorName(void) {
    return tsmpio_vendor_name;
}

TSMPIO_EXPORT const char* init(void* context, int* errorCode, char* errorMessage) {
    (void)context;
    return callGuarded<const char*>(
        nullptr, [&] { return initBody(errorCode, errorMessage); }, [](const char*) {});
}

TSMPIO_EXPORT int getMPIODevices(void* context, char** mpioDevices, int* count, int* errorCode,
                                 char* errorMessage) {
    (void)context;
    return callGuarded(
        -1, [&] { return getMPIODevicesBody(mpioDevices, count, errorCode, errorMessage); },
        [&](const char* what) {
            reportInternalFailure("HDLM::getMPIODevices", what, errorCode, errorMessage);
        });
}

TSMPIO_EXPORT int isMPIODevice(void* context, const char* device, int* errorCode,
                               char* errorMessage) {
    (void)context;
    // A lookup that cannot complete is a "no", as when the inventory cannot be read.
    return callGuarded(
        0, [&] { return isMPIODeviceBody(device, errorCode, errorMessage); }, [](const char*) {});
}

TSMPIO_EXPORT int getUnderlyingDevices(void* context, const char* mpioDevice,
                                       char** underlyingDevices, int* count, int* errorCode,
                                       char* errorMessage) {
    (void)context;
    return callGuarded(
        -1,
        [&] {
            return getUnderlyingDevicesBody(mpioDevice, underlyingDevices, count, errorCode,
                                            errorMessage);
        },
        [&](const char* what) {
            reportInternalFailure("HDLM::getUnderlyingDevices", what, errorCode, errorMessage);
        });
}

TSMPIO_EXPORT int refreshMPIO(void* context, int* errorCode, char* errorMessage) {
    (void)context;
    return callGuarded(
        -1, [&] { return refreshMPIOBody(errorCode, errorMessage); },
        [&](const char* what) {
            reportInternalFailure("HDLM::refreshMPIO", what, errorCode, errorMessage);
        });
}

TSMPIO_EXPORT int deleteMPIODevice(void* context, const char* mpioDevice, int* errorCode,
                                   char* errorMessage) {
    (void)context;
    (void)mpioDevice;
    return deleteMPIODeviceBody(errorCode, errorMessage);
}

TSMPIO_EXPORT int isPartitionDevice(void* context, const char* device, char* parent, int* errorCode,
                                    char* errorMessage) {
    (void)context;
    return callGuarded(
        0, [&] { return isPartitionDeviceBody(device, parent, errorCode, errorMessage); },
        [&](const char* what) {
            reportInternalFailure("HDLM::isPartitionDevice", what, errorCode, errorMessage);
        });
}

TSMPIO_EXPORT int getPartitionDevices(void* context, const char* device, TsPartInfo* partInfo,
                                      int* count, int reserved, int* errorCode,
                                      char* errorMessage) {
    (void)context;
    (void)reserved;
    return callGuarded(
        -1,
        [&] { return getPartitionDevicesBody(device, partInfo, count, errorCode, errorMessage); },
        [&](const char* what) {
            if (count != nullptr) *count = 0;
            reportInternalFailure("HDLM::getPartitionDevices", what, errorCode, errorMessage);
        });
}

}  // extern "C"
