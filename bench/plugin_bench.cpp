// Each entry point of the plug-in against its floor, on the simulated HDLM host it runs in:
//   hdlm-sim run TOPOLOGY.json -- build/bin/plugin_bench [--disk=/dev/sddlmaa]
//       [--partition=/dev/sddlmaa1] [--reps=N] [--budget=SECONDS] [--benchmark_*...]
// The floor of an entry point is the work it cannot avoid, done with nothing around it: the same
// shell commands through the same runner (TsProcess::system), without the environment the plug-in
// pins in front of each (its cost belongs to the plug-in), the same stat calls, the same
// partition-table read. Each benchmark reports entry_s, floor_s and their ratio.
#include <sys/stat.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TsMPIO_HDLM.h"
#include "TsProcess.h"
#include "bench_options.h"
#include "entry_point_steps.h"
#include "hdlm_commands.h"
#include "kpartx.h"
#include "linked_entry_points.h"
#include "paired_benchmark.h"

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

    const plugin_loader::EntryPoints entry = plugin_calls::linkedEntryPoints();
    const std::string parent = bench::diskOf(partition);
    // Each entry point's floor; those that run commands also count CPU time.
    const std::map<std::string, std::pair<Step, bool>> floors{
        {"init",
         {sequence(
              {command(hdlm_commands::mpioviewinfo_cmd), command(hdlm_commands::admin_majors_cmd)}),
          true}},
        {"getMPIODevices", {command(hdlm_commands::listing_cmd), true}},
        {"isMPIODevice/disk",
         {sequence({statStep(disk), command(hdlm_commands::inventory_cmd)}), true}},
        {"getUnderlyingDevices/disk",
         {sequence(
              {command(hdlm_commands::inventory_cmd), command(hdlm_commands::paths_cmd(diskName))}),
          true}},
        {"getUnderlyingDevices/partition",
         {sequence({command(hdlm_commands::inventory_cmd),
                    command(hdlm_commands::paths_cmd(partitionDisk))}),
          true}},
        {"getPartitionDevices/disk",
         {[disk] {
              if (std::string why = statPath(disk); !why.empty()) return why;
              std::list<slice> slices;
              const int found = getPartitions(disk.c_str(), slices);
              if (found <= 0)
                  return "getPartitions(" + disk + ") returned " + std::to_string(found);
              return std::string();
          },
          false}},
        {"isPartitionDevice/partition", {sequence({statStep(partition), statStep(parent)}), false}},
        {"refreshMPIO",
         {sequence({command(hdlm_commands::mpiodeletepath_cmd),
                    command(hdlm_commands::mpioaddpath_cmd)}),
          true}},
    };
    std::vector<bench::Pair> pairs;
    for (const bench::EntryStep& step : bench::entryPointSteps(entry, disk, partition)) {
        const auto& [floor, runsCommands] = floors.at(step.name);
        pairs.push_back({step.name, step.step, floor, runsCommands});
    }

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
