// The nine entry points called the way a host calls them: buffers of the header's sizes from a
// Storage, the outputs preset to a marker so that an output the call did not write can be told
// from one it did, the answer read back bounded by the buffers' sizes, and a list that did not
// fit asked once more with the size the plug-in named.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"
#include "caller_storage.h"
#include "partition_record.h"
#include "plugin_loader.h"

namespace plugin_calls {

// Every output starts as these before a call; one that still holds them was not written.
constexpr int kUntouchedCode = -424242;
inline constexpr char kUntouchedText[] = "untouched by the plug-in";
// The record every TsPartInfo entry holds before a call.
TsPartInfo untouchedRecord();
bool isUntouched(const TsPartInfo& record);

struct ErrorOutputs {
    int code = kUntouchedCode;
    std::string message = kUntouchedText;
    bool codeWritten() const { return code != kUntouchedCode; }
    bool messageWritten() const { return message != kUntouchedText; }
    bool untouched() const { return !codeWritten() && !messageWritten(); }
};

struct Answer {
    long long result = 0;
    ErrorOutputs error;
    std::string damage;  // what the call wrote outside its buffers (guarded storage only)
};

// getVendorName and init: the text, or nullopt for a null pointer.
struct TextAnswer : Answer {
    std::optional<std::string> text;
};

// One pass of a list call with an array of `capacity` entries.
struct Attempt {
    int capacity = 0;
    long long result = 0;
    int count = 0;  // *count as the plug-in left it
};

// What a list call kept of its passes.
struct Passes {
    std::vector<Attempt> attempts;
    bool complete = true;  // false while the last pass still had more than its array held
    std::string note;      // why an incomplete list was not asked again
};

// getMPIODevices / getUnderlyingDevices.
struct ListAnswer : Answer, Passes {
    int count = 0;
    std::vector<std::string> items;  // the entries filled: min(*count, capacity) of them
    bool entriesTerminated = true;   // each filled entry ends in a NUL within its buffer
};

// getPartitionDevices.
struct PartitionsAnswer : Answer, Passes {
    int count = 0;
    std::vector<TsPartInfo> records;  // the entries filled: min(*count, capacity) of them
    std::vector<TsPartInfo> array;    // every entry passed in, as the call left it
};

// isPartitionDevice: the parent buffer holds kUntouchedText when the call did not write it.
struct PartitionCheck : Answer {
    std::string parent;
};

constexpr int kDefaultCapacity = 64;
// The largest array handed out (16 MiB of path buffers); a plug-in asking for more is answered
// from what fitted.
constexpr int kMaxCapacity = 16384;

// How big an array a list call is given, and whether it is given a bigger one when the plug-in
// asks for it. A host asks once more, with the size named, up to `limit` entries.
struct Capacity {
    int initial = kDefaultCapacity;
    bool retry = true;
    int limit = kMaxCapacity;
    const char* fixedNote = "the capacity is fixed";  // the note when retry is off
};

class Caller {
public:
    // `context` is the host's opaque pointer, passed through: no plug-in of this interface reads
    // it.
    Caller(const plugin_loader::EntryPoints& entry, Storage& storage, void* context = nullptr)
        : entry_(entry), storage_(storage), context_(context) {}

    TextAnswer vendor() const;
    TextAnswer init();
    ListAnswer devices(int capacity);
    ListAnswer devices(const Capacity& capacity);
    Answer isMpio(const std::string& device);
    ListAnswer underlying(const std::string& device, int capacity);
    ListAnswer underlying(const std::string& device, const Capacity& capacity);
    PartitionCheck isPartition(const std::string& device);
    // `arraySize` entries are passed (at least `capacity`), so that writes past the capacity show.
    PartitionsAnswer partitions(const std::string& device, int capacity, int arraySize = -1);
    PartitionsAnswer partitions(const std::string& device, const Capacity& capacity);
    Answer refresh();
    Answer deleteDevice(const std::string& device);

private:
    template <typename Call>
    ListAnswer list(int capacity, Call call);
    // Presets the error outputs, and reads them back (and the storage's damage) after `call` ran
    // with them.
    template <typename Call>
    auto withErrorOutputs(Answer& answer, Call call);

    plugin_loader::EntryPoints entry_;  // a copy: the table may be a temporary
    Storage& storage_;
    void* context_;
};

}  // namespace plugin_calls
