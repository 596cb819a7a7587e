#include "guarded_storage.h"

#include <algorithm>

namespace guarded {

char* Storage::message() {
    message_ = std::make_unique<Text>("errorMessage", MAXMPIOERRORLEN);
    return message_->chars();
}

char* Storage::parent() {
    parent_ = std::make_unique<Text>("parent", MAXMPIOPATHLEN);
    return parent_->chars();
}

char** Storage::entries(size_t n) {
    entries_ = std::make_unique<TextArray>(n, MAXMPIOPATHLEN);
    return n == 0 && nullEmptyArrays ? nullptr : entries_->data();
}

TsPartInfo* Storage::records(size_t n) {
    records_ = std::make_unique<Array<TsPartInfo>>(std::max<size_t>(n, 1), "TsPartInfo array");
    return records_->data();
}

std::string Storage::damage() const {
    std::string found;
    auto add = [&found](const std::string& one) {
        if (!one.empty()) found += (found.empty() ? "" : "; ") + one;
    };
    if (message_) add(message_->damage());
    if (parent_) add(parent_->damage());
    if (entries_) add(entries_->damage());
    if (records_) add(records_->damage());
    if (!found.empty()) seen_.push_back(found);
    return found;
}

}  // namespace guarded
