// Each entry point of the plug-in against its floor, on the simulated HDLM host it runs in:
//   hdlm-sim run TOPOLOGY.json -- build/bin/plugin_bench [--disk=/dev/sddlmaa]
//       [--partition=/dev/sddlmaa1] [--reps=N] [--budget=SECONDS] [--benchmark_*...]
// The floor of an entry point is the work it cannot avoid, done with nothing around it: the same
// shell commands through the same runner (TsProcess::system), the same stat calls, the same
// partition-table read. Each benchmark reports entry_s, floor_s and their ratio.
#include <sys/stat.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <list>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "TsMPIO_HDLM.h"
#include "TsProcess.h"
#include "bench_options.h"
#include "kpartx.h"
#include "paired_benchmark.h"
#include "plugin_call_kit.h"
#include "plugin_commands.h"

namespace {

using bench::Step;

// One command through the host's runner, as the plug-in runs it (fresh strings, no timeout of
// its own, stderr apart).
std::string run(const std::string& command) {
    std::string output;
    std::string error;
    const int status = TsProcess::system(command.c_str(), &output, &error, 0, false);
    if (status != 0)
        return "'" + command + "' failed with status " + std::to_string(status) + ": " + error;
    return "";
}

std::string statPath(const std::string& path) {
    struct stat node {};
    if (stat(path.c_str(), &node) != 0) return "stat " + path + " failed";
    return "";
}

// Runs each step in order; the first failure wins.
Step sequence(const std::vector<Step>& steps) {
    return [steps] {
        for (const Step& step : steps)
            if (std::string why = step(); !why.empty()) return why;
        return std::string();
    };
}

Step command(const std::string& text) {
    return [text] { return run(text); };
}

Step statStep(const std::string& path) {
    return [path] { return statPath(path); };
}

void registerAll(const bench::Options& options) {
    const std::string disk = options.disk;
    const std::string partition = options.partition;
    const std::string diskName = bench::bareName(disk);
    const std::string partitionDisk = bench::bareName(bench::diskOf(partition));
    const bench::Budget budget = options.budget;
    auto devices = std::make_shared<bench::Arrays>(4096);
    auto paths = std::make_shared<bench::Arrays>(256);
    auto partitions = std::make_shared<std::vector<TsPartInfo>>(64);

    std::vector<bench::Pair> pairs;
    pairs.push_back(
        {"init",
         [] {
             int code = 0;
             char message[MAXMPIOERRORLEN] = {};
             if (init(nullptr, &code, message) == nullptr)
                 return bench::callFailed("init", 0, code, message);
             return std::string();
         },
         sequence({command(plugin_commands::viewSys), command(plugin_commands::majors)}), true});
    pairs.push_back({"getMPIODevices",
                     [devices] {
                         int code = 0;
                         char message[MAXMPIOERRORLEN] = {};
                         int count = static_cast<int>(devices->pointers.size());
                         const int rc = getMPIODevices(nullptr, devices->pointers.data(), &count,
                                                       &code, message);
                         if (rc != 0 || count == 0)
                             return bench::callFailed("getMPIODevices", rc, code, message);
                         return std::string();
                     },
                     command(plugin_commands::luns), true});
    pairs.push_back({"isMPIODevice/disk",
                     [disk] {
                         int code = 0;
                         char message[MAXMPIOERRORLEN] = {};
                         const int rc = isMPIODevice(nullptr, disk.c_str(), &code, message);
                         if (rc != 1) return bench::callFailed("isMPIODevice", rc, code, message);
                         return std::string();
                     },
                     sequence({statStep(disk), command(plugin_commands::inventory)}), true});
    for (const auto& [kind, device, listed] :
         {std::tuple{"disk", disk, diskName}, std::tuple{"partition", partition, partitionDisk}}) {
        pairs.push_back(
            {std::string("getUnderlyingDevices/") + kind,
             [paths, device = device] {
                 int code = 0;
                 char message[MAXMPIOERRORLEN] = {};
                 int count = static_cast<int>(paths->pointers.size());
                 const int rc = getUnderlyingDevices(
                     nullptr, device.c_str(), paths->pointers.data(), &count, &code, message);
                 if (rc != 0 || count == 0)
                     return bench::callFailed("getUnderlyingDevices", rc, code, message);
                 return std::string();
             },
             sequence(
                 {command(plugin_commands::inventory), command(plugin_commands::paths(listed))}),
             true});
    }
    pairs.push_back({"getPartitionDevices/disk",
                     [partitions, disk] {
                         int code = 0;
                         char message[MAXMPIOERRORLEN] = {};
                         int count = static_cast<int>(partitions->size());
                         const int rc = getPartitionDevices(
                             nullptr, disk.c_str(), partitions->data(), &count, 0, &code, message);
                         if (rc <= 0)
                             return bench::callFailed("getPartitionDevices", rc, code, message);
                         return std::string();
                     },
                     [disk] {
                         if (std::string why = statPath(disk); !why.empty()) return why;
                         std::list<slice> slices;
                         const int found = getPartitions(disk.c_str(), slices);
                         if (found <= 0)
                             return "getPartitions(" + disk + ") returned " + std::to_string(found);
                         return std::string();
                     }});
    const std::string parent = bench::diskOf(partition);
    pairs.push_back({"isPartitionDevice/partition",
                     [partition] {
                         int code = 0;
                         char message[MAXMPIOERRORLEN] = {};
                         char parentBuffer[MAXMPIOPATHLEN] = {};
                         const int rc = isPartitionDevice(nullptr, partition.c_str(), parentBuffer,
                                                          &code, message);
                         if (rc != 1)
                             return bench::callFailed("isPartitionDevice", rc, code, message);
                         return std::string();
                     },
                     sequence({statStep(partition), statStep(parent)})});
    // Last: the first refresh changes the simulated host (gone paths dropped, new ones added).
    pairs.push_back(
        {"refreshMPIO",
         [] {
             int code = 0;
             char message[MAXMPIOERRORLEN] = {};
             const int rc = refreshMPIO(nullptr, &code, message);
             if (rc != 0) return bench::callFailed("refreshMPIO", rc, code, message);
             return std::string();
         },
         sequence({command(plugin_commands::deletePaths), command(plugin_commands::addPaths)}),
         true});

    for (const bench::Pair& pair : pairs)
        if (options.wanted(pair.name)) bench::registerPair(pair, budget);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options options;
    if (!bench::initialize("plugin_bench", argc, argv, options)) return 2;

    int code = 0;
    char message[MAXMPIOERRORLEN] = {};
    if (init(nullptr, &code, message) == nullptr) {
        std::fprintf(stderr,
                     "plugin_bench: the plug-in's init failed, so this is no HDLM host; run it on "
                     "the simulator: hdlm-sim run TOPOLOGY.json -- %s\n",
                     argv[0]);
        return 1;
    }
    std::fprintf(stderr,
                 "plugin_bench: warming up and sizing each benchmark (disk %s, partition %s)\n",
                 options.disk.c_str(), options.partition.c_str());
    registerAll(options);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
