// Caller storage for the call kit in which every buffer is fresh for each call and fenced by
// guard bytes (guarded_memory.h): the answer's `damage` names whatever the call wrote outside a
// buffer or changed in the pointer array. The last call's buffers stay readable until the next.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "caller_storage.h"
#include "guarded_memory.h"
#include "plugin_calls.h"

namespace guarded {

class Storage : public plugin_calls::Storage {
public:
    char* message() override;
    char* parent() override;
    char** entries(size_t n) override;
    TsPartInfo* records(size_t n) override;
    std::string damage() const override;
    // Every damage a call of this storage's left, in call order.
    const std::vector<std::string>& damageSeen() const { return seen_; }

    const Text& lastMessage() const { return *message_; }
    const TextArray& lastEntries() const { return *entries_; }
    const Array<TsPartInfo>& lastRecords() const { return *records_; }

    // A host that passes no array at all when it has no room (capacity 0 or less).
    bool nullEmptyArrays = false;

private:
    std::unique_ptr<Text> message_;
    std::unique_ptr<Text> parent_;
    std::unique_ptr<TextArray> entries_;
    std::unique_ptr<Array<TsPartInfo>> records_;
    mutable std::vector<std::string> seen_;
};

// The storage, made before the calls that use it.
struct StorageHolder {
    Storage storage;
};

// The call kit on guarded storage of its own: one per thread, or one per call.
class Caller : private StorageHolder, public plugin_calls::Caller {
public:
    explicit Caller(const plugin_loader::EntryPoints& entry, void* context = nullptr)
        : plugin_calls::Caller(entry, storage, context) {}
    Storage& buffers() { return storage; }
    const Storage& buffers() const { return storage; }
};

}  // namespace guarded
