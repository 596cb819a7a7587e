// The entry-point calls both plug-in benchmarks time, in one place. Each step calls the plug-in
// with the call kit's plain storage, made before the timing starts so that the timed call only
// fills it, and fails when the answer is not what a healthy HDLM host gives.
#pragma once

#include <string>
#include <vector>

#include "paired_benchmark.h"
#include "plugin_loader.h"

namespace bench {

struct EntryStep {
    std::string name;
    Step step;
};

// init, getMPIODevices, isMPIODevice/disk, getUnderlyingDevices/disk and …/partition,
// getPartitionDevices/disk, isPartitionDevice/partition and, last because the first refresh
// changes the simulated host, refreshMPIO.
std::vector<EntryStep> entryPointSteps(const plugin_loader::EntryPoints& entry,
                                       const std::string& disk, const std::string& partition);

// "CALL returned R, errorCode C: MESSAGE", the reason a benchmark gives for stopping.
std::string callFailed(const char* call, long result, int errorCode, const char* errorMessage);

// The bare name of a device path: /dev/sddlmaa1 -> sddlmaa1.
std::string bareName(const std::string& path);

// A partition's disk: the name without its trailing partition number.
std::string diskOf(const std::string& partition);

}  // namespace bench
