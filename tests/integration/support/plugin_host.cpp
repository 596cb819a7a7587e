#include "plugin_host.h"

#include <algorithm>
#include <cstring>

namespace integ {
namespace {

// Caller storage of the interface's sizes, with a marker in every byte so that a write past
// the NUL or a missing NUL shows.
struct EntryArray {
    explicit EntryArray(int capacity)
        : storage(size_t(capacity > 0 ? capacity : 0), std::vector<char>(MAXMPIOPATHLEN, '#')) {
        for (auto& entry : storage) pointers.push_back(entry.data());
    }
    std::vector<std::vector<char>> storage;
    std::vector<char*> pointers;
};

struct MessageBuffer {
    explicit MessageBuffer(const ErrorOutputs& error) {
        std::memset(text, '#', sizeof text);
        std::strcpy(text, error.message.c_str());
    }
    char text[MAXMPIOERRORLEN];
    std::string read() const { return std::string(text, strnlen(text, sizeof text)); }
};

// Calls `call` with the error outputs as the plug-in takes them (code, message buffer), and
// brings the message back into `error`.
template <typename Call>
auto withErrorOutputs(ErrorOutputs& error, Call call) {
    MessageBuffer message(error);
    auto result = call(&error.code, message.text);
    error.message = message.read();
    return result;
}

ListCall collect(int result, int count, const EntryArray& array, int errorCode,
                 const MessageBuffer& message) {
    ListCall call;
    call.result = result;
    call.count = count;
    call.error.code = errorCode;
    call.error.message = message.read();
    if (result < 0) return call;  // a failed call fills nothing and leaves *count alone
    for (int i = 0; i < count && size_t(i) < array.storage.size(); ++i) {
        const std::vector<char>& entry = array.storage[size_t(i)];
        size_t length = strnlen(entry.data(), entry.size());
        if (length == entry.size()) call.entriesTerminated = false;
        call.items.emplace_back(entry.data(), length);
    }
    return call;
}

}  // namespace

// The host's context is an opaque pointer the plug-in never reads; a distinct value shows that.
static void* const kContext = reinterpret_cast<void*>(0x5eed);

const char* PluginHost::init(ErrorOutputs& error) {
    return withErrorOutputs(error, [&](int* code, char* message) {
        return plugin_.exports().init(kContext, code, message);
    });
}

ListCall PluginHost::devices(int capacity) {
    EntryArray array(capacity);
    int count = capacity, code = ErrorOutputs::kUntouchedCode;
    MessageBuffer message{ErrorOutputs{}};
    int result = plugin_.exports().getMPIODevices(kContext, array.pointers.data(), &count, &code,
                                                  message.text);
    return collect(result, count, array, code, message);
}

ListCall PluginHost::devicesWithRetry(int capacity, std::vector<ListCall>* attempts) {
    ListCall call = devices(capacity);
    if (attempts) attempts->push_back(call);
    if (call.result > 0) {
        call = devices(call.result);
        if (attempts) attempts->push_back(call);
    }
    return call;
}

int PluginHost::isMpio(const std::string& device, ErrorOutputs& error) {
    return withErrorOutputs(error, [&](int* code, char* message) {
        return plugin_.exports().isMPIODevice(kContext, device.c_str(), code, message);
    });
}

ListCall PluginHost::underlying(const std::string& device, int capacity) {
    EntryArray array(capacity);
    int count = capacity, code = ErrorOutputs::kUntouchedCode;
    MessageBuffer message{ErrorOutputs{}};
    int result = plugin_.exports().getUnderlyingDevices(
        kContext, device.c_str(), array.pointers.data(), &count, &code, message.text);
    return collect(result, count, array, code, message);
}

PartitionCheck PluginHost::isPartition(const std::string& device) {
    PartitionCheck check;
    char parent[MAXMPIOPATHLEN];
    std::strcpy(parent, kParentSentinel);
    MessageBuffer message(check.error);
    check.result = plugin_.exports().isPartitionDevice(kContext, device.c_str(), parent,
                                                       &check.error.code, message.text);
    check.parent.assign(parent, strnlen(parent, sizeof parent));
    check.error.message = message.read();
    return check;
}

PartitionsCall PluginHost::partitions(const std::string& device, int capacity, int arraySize) {
    PartitionsCall call;
    call.entries.assign(size_t(std::max({arraySize, capacity, 0})), partitionSentinel());
    call.count = capacity;
    MessageBuffer message(call.error);
    call.result =
        plugin_.exports().getPartitionDevices(kContext, device.c_str(), call.entries.data(),
                                              &call.count, 0, &call.error.code, message.text);
    call.error.message = message.read();
    return call;
}

int PluginHost::refresh(ErrorOutputs& error) {
    return withErrorOutputs(error, [&](int* code, char* message) {
        return plugin_.exports().refreshMPIO(kContext, code, message);
    });
}

int PluginHost::deleteDevice(const std::string& device, ErrorOutputs& error) {
    return withErrorOutputs(error, [&](int* code, char* message) {
        return plugin_.exports().deleteMPIODevice(kContext, device.c_str(), code, message);
    });
}

TsPartInfo partitionSentinel() {
    TsPartInfo entry;
    std::strcpy(entry.devName, "sentinel");
    entry.partNum = 0xdeadbeef;
    entry.startSector = entry.numSectors = entry.sectorSize = 0xdeadbeefdeadbeefULL;
    entry.devMajor = entry.devMinor = 0xdeadbeef;
    return entry;
}

bool isPartitionSentinel(const TsPartInfo& entry) {
    TsPartInfo s = partitionSentinel();
    return std::strcmp(entry.devName, s.devName) == 0 && entry.partNum == s.partNum &&
           entry.startSector == s.startSector && entry.numSectors == s.numSectors &&
           entry.sectorSize == s.sectorSize && entry.devMajor == s.devMajor &&
           entry.devMinor == s.devMinor;
}

}  // namespace integ
