// Calls the plug-in's entry points the way a host does: caller-owned buffers of the header's sizes,
// error outputs cleared before every call, one retry of a list call that says it needs more room.
#pragma once

#include <string>

#include "plugin_loader.h"
#include "probe_model.h"

namespace probe {

constexpr int kDefaultCapacity = 64;
// The largest array the probe hands out (16 MiB of path buffers); a plug-in asking for more is
// answered from what fitted.
constexpr int kMaxCapacity = 16384;

struct CapacityPolicy {
    int initial = kDefaultCapacity;
    bool fixed = false;  // --capacity: never retry with a bigger array
};

class PluginCaller {
public:
    PluginCaller(const EntryPoints& entry, CapacityPolicy policy)
        : entry_(entry), policy_(policy) {}

    CallOutcome vendor() const;
    CallOutcome init() const;
    ListOutcome devices() const;
    IsMpioAnswer isMpio(const std::string& device) const;
    ListOutcome underlying(const std::string& device) const;
    PartitionCheck isPartition(const std::string& device) const;
    PartitionsOutcome partitions(const std::string& device) const;
    CallOutcome refresh() const;
    CallOutcome deleteDevice(const std::string& device) const;

private:
    const EntryPoints& entry_;
    CapacityPolicy policy_;
};

}  // namespace probe
