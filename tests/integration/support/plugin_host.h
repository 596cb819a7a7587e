// A host as the data-protection agent is one: it dlopens the plug-in by path, resolves the nine
// entry points by their plain names and calls them with buffers of the interface's sizes.
#pragma once
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"
#include "plugin_library.h"

namespace integ {

// What one call left in the error outputs; both start with a marker so that a call that does
// not write them can be told from one that does.
struct ErrorOutputs {
    static constexpr int kUntouchedCode = -424242;
    static constexpr const char* kUntouchedText = "untouched by the plug-in";
    int code = kUntouchedCode;
    std::string message = kUntouchedText;
    bool untouched() const { return code == kUntouchedCode && message == kUntouchedText; }
};

struct ListCall {
    int result = 0;
    int count = 0;                   // *count after the call
    std::vector<std::string> items;  // the entries filled, as many as *count says
    bool entriesTerminated = true;   // every filled entry ends in a NUL within its 1024 bytes
    ErrorOutputs error;
};

struct PartitionsCall {
    int result = 0;
    int count = 0;
    std::vector<TsPartInfo> entries;  // the whole array passed in, sentinel-filled beforehand
    ErrorOutputs error;
};

struct PartitionCheck {
    int result = 0;
    std::string parent;  // the parent buffer, or the sentinel when not written
    ErrorOutputs error;
};

class PluginHost {
public:
    static constexpr const char* kParentSentinel = "parent not written";

    explicit PluginHost(const std::string& path) : plugin_(path) {}

    const char* vendorName() const { return plugin_.exports().getVendorName(); }
    const char* init(ErrorOutputs& error);
    ListCall devices(int capacity);
    int isMpio(const std::string& device, ErrorOutputs& error);
    ListCall underlying(const std::string& device, int capacity);
    PartitionCheck isPartition(const std::string& device);
    // `arraySize` entries are passed (at least `capacity`), so writes past the capacity show.
    PartitionsCall partitions(const std::string& device, int capacity, int arraySize = -1);
    int refresh(ErrorOutputs& error);
    int deleteDevice(const std::string& device, ErrorOutputs& error);
    const char* exportedVendorName() const { return *plugin_.exports().vendorName; }

    // A list call as a host makes it: once with `capacity`, and once more with the size the
    // plug-in asked for when it returned a positive result.
    ListCall devicesWithRetry(int capacity, std::vector<ListCall>* attempts = nullptr);

private:
    testsupport::PluginLibrary plugin_;
};

// The sentinel every TsPartInfo entry holds before a call: an entry the plug-in did not fill
// still holds it afterwards.
TsPartInfo partitionSentinel();
bool isPartitionSentinel(const TsPartInfo& entry);

}  // namespace integ
