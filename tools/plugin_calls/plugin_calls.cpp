#include "plugin_calls.h"

#include <algorithm>
#include <cstring>

namespace plugin_calls {
namespace {

// Writes the marker (with its NUL) at the start of a buffer of at least MAXMPIOPATHLEN bytes.
void preset(char* buffer) {
    static_assert(sizeof kUntouchedText <= MAXMPIOPATHLEN, "the marker fits every buffer");
    std::memcpy(buffer, kUntouchedText, sizeof kUntouchedText);
}

std::string bounded(const char* text, size_t size) {
    return std::string(text, strnlen(text, size));
}

// Runs `pass(capacity)` and, when its answer had more than the array held, once more with the
// size the plug-in named, as a host does. Keeps every pass's figures and why a list stayed
// incomplete.
template <typename AnswerT, typename Pass, typename NeedsMore>
AnswerT retried(const Capacity& policy, Pass pass, NeedsMore needsMore) {
    std::vector<Attempt> attempts;
    int capacity = policy.initial;
    for (;;) {
        AnswerT answer = pass(capacity);
        attempts.push_back({capacity, answer.result, answer.count});
        answer.attempts = attempts;
        answer.complete = answer.result >= 0 && !needsMore(answer, capacity);
        if (answer.complete || answer.result < 0) return answer;
        if (!policy.retry) {
            answer.note = policy.fixedNote;
        } else if (attempts.size() > 1) {
            answer.note = "still more than the array held after one retry";
        } else if (answer.result <= capacity) {
            answer.note = "the plug-in asked for no bigger array; not retried";
        } else if (answer.result > policy.limit) {
            answer.note =
                "more than the limit of " + std::to_string(policy.limit) + " entries; not retried";
        } else {
            capacity = static_cast<int>(answer.result);
            continue;
        }
        return answer;
    }
}

}  // namespace

TsPartInfo untouchedRecord() {
    TsPartInfo record{};
    preset(record.devName);
    record.partNum = record.devMajor = record.devMinor = 0xdeadbeef;
    record.startSector = record.numSectors = record.sectorSize = 0xdeadbeefdeadbeefULL;
    return record;
}

bool isUntouched(const TsPartInfo& record) {
    const TsPartInfo u = untouchedRecord();
    return std::strcmp(record.devName, u.devName) == 0 && record.partNum == u.partNum &&
           record.startSector == u.startSector && record.numSectors == u.numSectors &&
           record.sectorSize == u.sectorSize && record.devMajor == u.devMajor &&
           record.devMinor == u.devMinor;
}

template <typename Call>
auto Caller::withErrorOutputs(Answer& answer, Call call) {
    char* message = storage_.message();
    preset(message);
    answer.error.code = kUntouchedCode;
    auto result = call(&answer.error.code, message);
    answer.error.message = bounded(message, MAXMPIOERRORLEN);
    answer.damage = storage_.damage();
    return result;
}

template <typename Call>
ListAnswer Caller::list(int capacity, Call call) {
    ListAnswer answer;
    char** entries = storage_.entries(static_cast<size_t>(std::max(capacity, 0)));
    answer.count = capacity;
    answer.result = withErrorOutputs(answer, [&](int* code, char* message) {
        return call(entries, &answer.count, code, message);
    });
    if (answer.result < 0) return answer;  // a failed call fills nothing
    // Read no further than the array reaches, whatever *count says.
    const int filled = std::clamp(answer.count, 0, std::max(capacity, 0));
    for (int i = 0; i < filled; ++i) {
        const std::string item = bounded(entries[i], MAXMPIOPATHLEN);
        if (item.size() == MAXMPIOPATHLEN) answer.entriesTerminated = false;
        answer.items.push_back(item);
    }
    return answer;
}

TextAnswer Caller::vendor() const {
    TextAnswer answer;
    const char* text = entry_.getVendorName();
    if (text) answer.text = bounded(text, MAXMPIOPATHLEN);
    answer.result = text != nullptr;
    return answer;
}

TextAnswer Caller::init() {
    TextAnswer answer;
    const char* text = withErrorOutputs(
        answer, [&](int* code, char* message) { return entry_.init(context_, code, message); });
    if (text) answer.text = bounded(text, MAXMPIOPATHLEN);
    answer.result = text != nullptr;
    return answer;
}

ListAnswer Caller::devices(int capacity) {
    return list(capacity, [&](char** entries, int* count, int* code, char* message) {
        return entry_.getMPIODevices(context_, entries, count, code, message);
    });
}

ListAnswer Caller::devices(const Capacity& capacity) {
    return retried<ListAnswer>(
        capacity, [&](int size) { return devices(size); },
        [](const ListAnswer& a, int) { return a.result > 0; });
}

Answer Caller::isMpio(const std::string& device) {
    Answer answer;
    answer.result = withErrorOutputs(answer, [&](int* code, char* message) {
        return entry_.isMPIODevice(context_, device.c_str(), code, message);
    });
    return answer;
}

ListAnswer Caller::underlying(const std::string& device, int capacity) {
    return list(capacity, [&](char** entries, int* count, int* code, char* message) {
        return entry_.getUnderlyingDevices(context_, device.c_str(), entries, count, code, message);
    });
}

ListAnswer Caller::underlying(const std::string& device, const Capacity& capacity) {
    return retried<ListAnswer>(
        capacity, [&](int size) { return underlying(device, size); },
        [](const ListAnswer& a, int) { return a.result > 0; });
}

PartitionCheck Caller::isPartition(const std::string& device) {
    PartitionCheck answer;
    char* parent = storage_.parent();
    preset(parent);
    answer.result = withErrorOutputs(answer, [&](int* code, char* message) {
        return entry_.isPartitionDevice(context_, device.c_str(), parent, code, message);
    });
    answer.parent = bounded(parent, MAXMPIOPATHLEN);
    return answer;
}

PartitionsAnswer Caller::partitions(const std::string& device, int capacity, int arraySize) {
    PartitionsAnswer answer;
    const size_t size = static_cast<size_t>(std::max({arraySize, capacity, 0}));
    TsPartInfo* array = storage_.records(size);
    std::fill(array, array + size, untouchedRecord());
    answer.count = capacity;
    answer.result = withErrorOutputs(answer, [&](int* code, char* message) {
        // The fifth argument is reserved: the plug-in does not read it.
        return entry_.getPartitionDevices(context_, device.c_str(), array, &answer.count, 0, code,
                                          message);
    });
    answer.array.assign(array, array + size);
    if (answer.result < 0) return answer;
    const int filled = std::clamp(answer.count, 0, std::max(capacity, 0));
    answer.records.assign(array, array + filled);
    return answer;
}

PartitionsAnswer Caller::partitions(const std::string& device, const Capacity& capacity) {
    // *count is the number of partitions found, which may exceed what the array held.
    return retried<PartitionsAnswer>(
        capacity, [&](int size) { return partitions(device, size); },
        [](const PartitionsAnswer& a, int size) { return a.result > size; });
}

Answer Caller::refresh() {
    Answer answer;
    answer.result = withErrorOutputs(answer, [&](int* code, char* message) {
        return entry_.refreshMPIO(context_, code, message);
    });
    return answer;
}

Answer Caller::deleteDevice(const std::string& device) {
    Answer answer;
    answer.result = withErrorOutputs(answer, [&](int* code, char* message) {
        return entry_.deleteMPIODevice(context_, device.c_str(), code, message);
    });
    return answer;
}

}  // namespace plugin_calls
