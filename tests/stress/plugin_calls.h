// One call of an entry point as a host makes it: fresh caller buffers of the header's sizes,
// each between guard bytes, and the answer copied out with a note of anything written past a
// buffer.
#pragma once

#include <string>
#include <vector>

#include "plugin_library.h"

namespace stress {

// The error outputs' value before a call: an answer that left them alone still shows it.
constexpr int kUntouchedErrorCode = 0x5a5a;

struct CallOutcome {
    int result = 0;
    int errorCode = kUntouchedErrorCode;
    std::string errorMessage;
    bool guardsIntact = true;
};

struct ListAnswer : CallOutcome {
    int count = 0;
    std::vector<std::string> items;  // the entries filled
};

struct PartitionsAnswer : CallOutcome {
    int count = 0;
    std::vector<TsPartInfo> records;  // min(capacity, result) of them
};

struct PartitionCheck : CallOutcome {
    std::string parent;
};

// Room the calls give for devices, paths and partitions.
constexpr int kCapacity = 64;

// "[a b c]", a list as failure messages show it.
std::string joined(const std::vector<std::string>& items);

ListAnswer callGetMPIODevices(const testsupport::PluginExports& api, int capacity);
ListAnswer callGetUnderlyingDevices(const testsupport::PluginExports& api,
                                    const std::string& device, int capacity);
PartitionsAnswer callGetPartitionDevices(const testsupport::PluginExports& api,
                                         const std::string& device, int capacity);
PartitionCheck callIsPartitionDevice(const testsupport::PluginExports& api,
                                     const std::string& device);
CallOutcome callIsMPIODevice(const testsupport::PluginExports& api, const std::string& device);
CallOutcome callRefreshMPIO(const testsupport::PluginExports& api);
CallOutcome callDeleteMPIODevice(const testsupport::PluginExports& api, const std::string& device);

}  // namespace stress
