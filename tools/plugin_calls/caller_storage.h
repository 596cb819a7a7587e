// The buffers a host hands the plug-in for one call. The calls ask for them afresh before every
// call; plain storage reuses its buffers, guarded storage (the tests') fences each with guard
// bytes and says afterwards what was written outside them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"

namespace plugin_calls {

class Storage {
public:
    virtual ~Storage() = default;
    // MAXMPIOERRORLEN bytes for errorMessage.
    virtual char* message() = 0;
    // MAXMPIOPATHLEN bytes for isPartitionDevice's parent.
    virtual char* parent() = 0;
    // `n` pointers to MAXMPIOPATHLEN-byte buffers; a valid array even for n = 0. What the
    // buffers hold before the call is the storage's: never an earlier call's text.
    virtual char** entries(size_t n) = 0;
    // `n` records (at least one is allocated).
    virtual TsPartInfo* records(size_t n) = 0;
    // What the last call wrote outside the buffers it was given; "" when nothing was, or when
    // the storage cannot tell.
    virtual std::string damage() const { return {}; }
};

// Ordinary heap buffers, kept and reused from call to call; entries start as empty strings.
class PlainStorage : public Storage {
public:
    char* message() override;
    char* parent() override;
    char** entries(size_t n) override;
    TsPartInfo* records(size_t n) override;

private:
    std::vector<char> message_ = std::vector<char>(MAXMPIOERRORLEN);
    std::vector<char> parent_ = std::vector<char>(MAXMPIOPATHLEN);
    std::vector<char> entryBytes_;
    std::vector<char*> entries_;
    std::vector<TsPartInfo> records_;
};

}  // namespace plugin_calls
