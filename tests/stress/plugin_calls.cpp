#include "plugin_calls.h"

#include <algorithm>
#include <cstring>

namespace stress {
namespace {

constexpr size_t kGuard = 32;
constexpr unsigned char kGuardByte = 0xa5;

// Caller storage of `size` bytes with guard bytes on both sides.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : size_(size), storage_(size + 2 * kGuard, kGuardByte) {
        std::fill_n(data(), size_, 'x');  // stale text a call must not leave behind its answer
        data()[size_ - 1] = '\0';
    }
    char* data() { return storage_.data() + kGuard; }
    std::string text() const { return std::string(storage_.data() + kGuard); }
    bool intact() const {
        auto guard = [](char c) { return static_cast<unsigned char>(c) == kGuardByte; };
        return std::all_of(storage_.begin(), storage_.begin() + kGuard, guard) &&
               std::all_of(storage_.end() - kGuard, storage_.end(), guard);
    }

private:
    size_t size_;
    std::vector<char> storage_;
};

// An array of path buffers as getMPIODevices and getUnderlyingDevices take it.
class PathArray {
public:
    explicit PathArray(int capacity) {
        for (int i = 0; i < capacity; ++i) buffers_.emplace_back(MAXMPIOPATHLEN);
        for (GuardedBuffer& b : buffers_) pointers_.push_back(b.data());
    }
    char** data() { return pointers_.empty() ? nullptr : pointers_.data(); }
    std::vector<std::string> first(int count) const {
        std::vector<std::string> items;
        for (int i = 0; i < count && i < static_cast<int>(buffers_.size()); ++i)
            items.push_back(buffers_[static_cast<size_t>(i)].text());
        return items;
    }
    bool intact() const {
        return std::all_of(buffers_.begin(), buffers_.end(),
                           [](const GuardedBuffer& b) { return b.intact(); });
    }

private:
    std::vector<GuardedBuffer> buffers_;
    std::vector<char*> pointers_;
};

// The error-output pair every entry point but getVendorName takes.
struct ErrorOutputs {
    int code = kUntouchedErrorCode;
    GuardedBuffer message{MAXMPIOERRORLEN};

    ErrorOutputs() { message.data()[0] = '\0'; }

    void into(CallOutcome& outcome) const {
        outcome.errorCode = code;
        outcome.errorMessage = message.text();
        outcome.guardsIntact = outcome.guardsIntact && message.intact();
    }
};

}  // namespace

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
    return "[" + text + "]";
}

ListAnswer callGetMPIODevices(const testsupport::PluginExports& api, int capacity) {
    PathArray devices(capacity);
    ErrorOutputs error;
    ListAnswer answer;
    answer.count = capacity;
    answer.result = api.getMPIODevices(nullptr, devices.data(), &answer.count, &error.code,
                                       error.message.data());
    answer.items = devices.first(answer.result >= 0 ? answer.count : 0);
    answer.guardsIntact = devices.intact();
    error.into(answer);
    return answer;
}

ListAnswer callGetUnderlyingDevices(const testsupport::PluginExports& api,
                                    const std::string& device, int capacity) {
    PathArray paths(capacity);
    ErrorOutputs error;
    ListAnswer answer;
    answer.count = capacity;
    answer.result = api.getUnderlyingDevices(nullptr, device.c_str(), paths.data(), &answer.count,
                                             &error.code, error.message.data());
    answer.items = paths.first(answer.result >= 0 ? answer.count : 0);
    answer.guardsIntact = paths.intact();
    error.into(answer);
    return answer;
}

PartitionsAnswer callGetPartitionDevices(const testsupport::PluginExports& api,
                                         const std::string& device, int capacity) {
    // TsPartInfo records with a guard record on each side, filled with a recognisable pattern.
    TsPartInfo pattern;
    std::memset(static_cast<void*>(&pattern), kGuardByte, sizeof(pattern));
    std::vector<TsPartInfo> storage(static_cast<size_t>(capacity) + 2, pattern);
    ErrorOutputs error;
    PartitionsAnswer answer;
    answer.count = capacity;
    answer.result = api.getPartitionDevices(nullptr, device.c_str(), storage.data() + 1,
                                            &answer.count, 0, &error.code, error.message.data());
    const int filled = std::min(capacity, std::max(answer.result, 0));
    answer.records.assign(storage.begin() + 1, storage.begin() + 1 + filled);
    answer.guardsIntact = std::memcmp(&storage.front(), &pattern, sizeof(pattern)) == 0 &&
                          std::memcmp(&storage.back(), &pattern, sizeof(pattern)) == 0;
    error.into(answer);
    return answer;
}

PartitionCheck callIsPartitionDevice(const testsupport::PluginExports& api,
                                     const std::string& device) {
    GuardedBuffer parent(MAXMPIOPATHLEN);
    parent.data()[0] = '\0';
    ErrorOutputs error;
    PartitionCheck answer;
    answer.result = api.isPartitionDevice(nullptr, device.c_str(), parent.data(), &error.code,
                                          error.message.data());
    answer.parent = parent.text();
    answer.guardsIntact = parent.intact();
    error.into(answer);
    return answer;
}

CallOutcome callIsMPIODevice(const testsupport::PluginExports& api, const std::string& device) {
    ErrorOutputs error;
    CallOutcome answer;
    answer.result = api.isMPIODevice(nullptr, device.c_str(), &error.code, error.message.data());
    error.into(answer);
    return answer;
}

CallOutcome callRefreshMPIO(const testsupport::PluginExports& api) {
    ErrorOutputs error;
    CallOutcome answer;
    answer.result = api.refreshMPIO(nullptr, &error.code, error.message.data());
    error.into(answer);
    return answer;
}

CallOutcome callDeleteMPIODevice(const testsupport::PluginExports& api, const std::string& device) {
    ErrorOutputs error;
    CallOutcome answer;
    answer.result =
        api.deleteMPIODevice(nullptr, device.c_str(), &error.code, error.message.data());
    error.into(answer);
    return answer;
}

}  // namespace stress
