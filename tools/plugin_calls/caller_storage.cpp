#include "caller_storage.h"

#include <algorithm>

namespace plugin_calls {

char* PlainStorage::message() {
    return message_.data();
}

char* PlainStorage::parent() {
    return parent_.data();
}

char** PlainStorage::entries(size_t n) {
    const size_t held = std::max<size_t>(n, 1);
    if (entries_.size() < held) {
        entryBytes_.assign(held * MAXMPIOPATHLEN, '\0');
        entries_.resize(held);
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        entries_[i] = &entryBytes_[i * MAXMPIOPATHLEN];
        entries_[i][0] = '\0';  // an entry the call does not fill reads as empty, never as stale
    }
    return entries_.data();
}

TsPartInfo* PlainStorage::records(size_t n) {
    if (records_.size() < std::max<size_t>(n, 1)) records_.resize(std::max<size_t>(n, 1));
    return records_.data();
}

}  // namespace plugin_calls
