#include "plugin_calls.h"

#include <algorithm>
#include <cstring>

#include "guarded_memory.h"

namespace stress {
namespace {

// The error-output pair every entry point but getVendorName takes, in guarded storage.
struct ErrorOutputs {
    int code = kUntouchedErrorCode;
    guarded::Text message{"errorMessage", MAXMPIOERRORLEN};

    ErrorOutputs() { message.chars()[0] = '\0'; }

    void into(CallOutcome& outcome) const {
        outcome.errorCode = code;
        outcome.errorMessage = message.text();
        outcome.guardsIntact = outcome.guardsIntact && message.guardsIntact();
    }
};

// A list call into caller storage of `capacity` guarded entries; `call` gets the entries, the
// count and the error outputs as the plug-in takes them.
template <typename Call>
ListAnswer listAnswer(int capacity, Call call) {
    guarded::TextArray entries(static_cast<size_t>(std::max(capacity, 0)), MAXMPIOPATHLEN);
    ErrorOutputs error;
    ListAnswer answer;
    answer.count = capacity;
    answer.result = call(entries.data(), &answer.count, &error.code, error.message.chars());
    for (int i = 0; i < (answer.result >= 0 ? answer.count : 0) && i < capacity; ++i)
        answer.items.push_back(entries[static_cast<size_t>(i)].text());
    answer.guardsIntact = entries.guardsIntact();
    error.into(answer);
    return answer;
}

}  // namespace

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
    return "[" + text + "]";
}

ListAnswer callGetMPIODevices(const testsupport::PluginExports& api, int capacity) {
    return listAnswer(capacity, [&](char** entries, int* count, int* code, char* message) {
        return api.getMPIODevices(nullptr, entries, count, code, message);
    });
}

ListAnswer callGetUnderlyingDevices(const testsupport::PluginExports& api,
                                    const std::string& device, int capacity) {
    return listAnswer(capacity, [&](char** entries, int* count, int* code, char* message) {
        return api.getUnderlyingDevices(nullptr, device.c_str(), entries, count, code, message);
    });
}

PartitionsAnswer callGetPartitionDevices(const testsupport::PluginExports& api,
                                         const std::string& device, int capacity) {
    guarded::Array<TsPartInfo> storage(static_cast<size_t>(std::max(capacity, 0)),
                                       "partition records");
    ErrorOutputs error;
    PartitionsAnswer answer;
    answer.count = capacity;
    answer.result = api.getPartitionDevices(nullptr, device.c_str(), storage.data(), &answer.count,
                                            0, &error.code, error.message.chars());
    const int filled = std::min(capacity, std::max(answer.result, 0));
    for (int i = 0; i < filled; ++i) answer.records.push_back(storage.get(static_cast<size_t>(i)));
    answer.guardsIntact = storage.damage().empty();
    error.into(answer);
    return answer;
}

PartitionCheck callIsPartitionDevice(const testsupport::PluginExports& api,
                                     const std::string& device) {
    guarded::Text parent("parent", MAXMPIOPATHLEN);
    parent.chars()[0] = '\0';
    ErrorOutputs error;
    PartitionCheck answer;
    answer.result = api.isPartitionDevice(nullptr, device.c_str(), parent.chars(), &error.code,
                                          error.message.chars());
    answer.parent = parent.text();
    answer.guardsIntact = parent.guardsIntact();
    error.into(answer);
    return answer;
}

CallOutcome callIsMPIODevice(const testsupport::PluginExports& api, const std::string& device) {
    ErrorOutputs error;
    CallOutcome answer;
    answer.result = api.isMPIODevice(nullptr, device.c_str(), &error.code, error.message.chars());
    error.into(answer);
    return answer;
}

CallOutcome callRefreshMPIO(const testsupport::PluginExports& api) {
    ErrorOutputs error;
    CallOutcome answer;
    answer.result = api.refreshMPIO(nullptr, &error.code, error.message.chars());
    error.into(answer);
    return answer;
}

CallOutcome callDeleteMPIODevice(const testsupport::PluginExports& api, const std::string& device) {
    ErrorOutputs error;
    CallOutcome answer;
    answer.result =
        api.deleteMPIODevice(nullptr, device.c_str(), &error.code, error.message.chars());
    error.into(answer);
    return answer;
}

}  // namespace stress
