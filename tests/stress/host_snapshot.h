// The plug-in's answers about the simulated host, asked one call at a time and checked against
// the topology's model. The threads' answers must then match this snapshot exactly.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host_model.h"
#include "plugin_calls.h"
#include "plugin_library.h"

namespace stress {

using plugin_calls::Answer;
using plugin_calls::ListAnswer;
using plugin_calls::PartitionCheck;
using plugin_calls::PartitionsAnswer;

// Room the calls give for devices, paths and partitions.
constexpr int kCapacity = 64;

struct DiskAnswers {
    std::string path;  // /dev/sddlmaa
    std::string name;  // sddlmaa
    unsigned major = 0;
    unsigned minor = 0;
    std::vector<std::string> underlying;  // in the order getUnderlyingDevices gave them
    std::vector<TsPartInfo> partitions;
};

struct HostSnapshot {
    std::vector<std::string> devices;              // getMPIODevices, in its order
    std::vector<DiskAnswers> disks;                // one per device, same order
    std::map<std::string, std::string> inventory;  // listMPIODevices
};

// Every answer that breaks the interface's rules or disagrees with `model` becomes one line of
// `problems`; the snapshot holds what the plug-in said all the same.
HostSnapshot takeSnapshot(const testsupport::PluginExports& api,
                          const testsupport::HostModel& model, std::vector<std::string>& problems);

// "0 errorCode=0 errorMessage=[...]" for failure reports: the error outputs the call wrote, and
// what it wrote outside its buffers.
std::string describeOutcome(const Answer& answer);
// "[a b c]", a list as failure messages show it.
std::string joined(const std::vector<std::string>& items);

// The fields of two partition records that differ, or empty.
std::string partitionDifference(const TsPartInfo& got, const TsPartInfo& expected);

}  // namespace stress
