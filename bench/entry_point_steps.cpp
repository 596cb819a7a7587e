#include "entry_point_steps.h"

#include <memory>

#include "caller_storage.h"

namespace bench {
namespace {

// Room for every device of the largest host, every path of one LU, every partition of a disk.
constexpr size_t kDevices = 4096;
constexpr size_t kPaths = 256;
constexpr size_t kPartitions = 64;

// The storage of every step, each array taken once: its buffers never move afterwards.
struct Buffers {
    plugin_calls::PlainStorage deviceStorage, pathStorage, otherStorage;
    char** devices = deviceStorage.entries(kDevices);
    char** paths = pathStorage.entries(kPaths);
    TsPartInfo* partitions = otherStorage.records(kPartitions);
    char* parent = otherStorage.parent();
    char* message = otherStorage.message();
    int code = 0;
};

}  // namespace

std::vector<EntryStep> entryPointSteps(const plugin_loader::EntryPoints& entry,
                                       const std::string& disk, const std::string& partition) {
    auto b = std::make_shared<Buffers>();
    std::vector<EntryStep> steps;
    steps.push_back({"init", [entry, b] {
                         if (entry.init(nullptr, &b->code, b->message) == nullptr)
                             return callFailed("init", 0, b->code, b->message);
                         return std::string();
                     }});
    steps.push_back({"getMPIODevices", [entry, b] {
                         int count = static_cast<int>(kDevices);
                         const int rc = entry.getMPIODevices(nullptr, b->devices, &count, &b->code,
                                                             b->message);
                         if (rc != 0 || count == 0)
                             return callFailed("getMPIODevices", rc, b->code, b->message);
                         return std::string();
                     }});
    steps.push_back({"isMPIODevice/disk", [entry, b, disk] {
                         const int rc =
                             entry.isMPIODevice(nullptr, disk.c_str(), &b->code, b->message);
                         if (rc != 1) return callFailed("isMPIODevice", rc, b->code, b->message);
                         return std::string();
                     }});
    for (const auto& [kind, device] : {std::pair<const char*, std::string>{"disk", disk},
                                       std::pair<const char*, std::string>{"partition", partition}})
        steps.push_back({std::string("getUnderlyingDevices/") + kind, [entry, b, device = device] {
                             int count = static_cast<int>(kPaths);
                             const int rc = entry.getUnderlyingDevices(
                                 nullptr, device.c_str(), b->paths, &count, &b->code, b->message);
                             if (rc != 0 || count == 0)
                                 return callFailed("getUnderlyingDevices", rc, b->code, b->message);
                             return std::string();
                         }});
    steps.push_back({"getPartitionDevices/disk", [entry, b, disk] {
                         int count = static_cast<int>(kPartitions);
                         const int rc = entry.getPartitionDevices(
                             nullptr, disk.c_str(), b->partitions, &count, 0, &b->code, b->message);
                         if (rc <= 0)
                             return callFailed("getPartitionDevices", rc, b->code, b->message);
                         return std::string();
                     }});
    steps.push_back({"isPartitionDevice/partition", [entry, b, partition] {
                         const int rc = entry.isPartitionDevice(nullptr, partition.c_str(),
                                                                b->parent, &b->code, b->message);
                         if (rc != 1)
                             return callFailed("isPartitionDevice", rc, b->code, b->message);
                         return std::string();
                     }});
    steps.push_back({"refreshMPIO", [entry, b] {
                         const int rc = entry.refreshMPIO(nullptr, &b->code, b->message);
                         if (rc != 0) return callFailed("refreshMPIO", rc, b->code, b->message);
                         return std::string();
                     }});
    return steps;
}

std::string callFailed(const char* call, long result, int errorCode, const char* errorMessage) {
    return std::string(call) + " returned " + std::to_string(result) + ", errorCode " +
           std::to_string(errorCode) + ": " + errorMessage;
}

std::string bareName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string diskOf(const std::string& partition) {
    size_t end = partition.size();
    while (end > 1 && partition[end - 1] >= '0' && partition[end - 1] <= '9') --end;
    return partition.substr(0, end);
}

}  // namespace bench
