// The plug-in's own cost, without the commands: inside the simulator (for real device nodes),
// the command lines the plug-in runs are answered from canned output captured from the same
// simulated host, so what is timed is the plug-in's parsing, lookups and stat calls alone.
//   hdlm-sim run TOPOLOGY.json -- build/bin/parse_bench [--disk=...] [--partition=...] ...
// The runner, logger and partition reader are the scripted ones of tests/plugin/support,
// exported by this executable so that they take the place of the real ones in the plug-in.
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FXString.h"
#include "bench_options.h"
#include "entry_point_steps.h"
#include "hdlm_commands.h"
#include "kpartx.h"
#include "paired_benchmark.h"
#include "support/host_doubles.h"
#include "support/plugin_instance.h"

namespace {

using bench::Step;

// Runs a command for real (popen, not the scripted runner) and keeps what it printed.
std::string capture(const std::string& command, std::string& output) {
    // The very pipeline the plug-in runs, once, for its output.
    // NOLINTNEXTLINE(cert-env33-c): running a shell pipeline is the point here
    FILE* pipe = popen(command.c_str(), "re");
    if (pipe == nullptr) return "could not start '" + command + "'";
    output.clear();
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    const int status = pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "'" + command + "' failed (wait status " + std::to_string(status) + ")";
    return "";
}

// What the simulated host answered, replayed by the scripted runner and partition reader.
struct CannedHost {
    std::map<std::string, std::string> outputs;
    std::vector<slice> slices;

    // Forgets what the scripted host recorded so far (it keeps every call) and scripts it anew.
    void install() const {
        host_double::reset();
        for (const auto& [command, output] : outputs) host_double::answer(command, 0, output);
        host_double::scriptPartitions(static_cast<int>(slices.size()), slices);
    }
};

std::string captureHost(const bench::Options& options, CannedHost& host) {
    // The refresh first: it may change what the other commands print.
    const std::vector<std::string> commands = {
        hdlm_commands::mpiodeletepath_cmd,
        hdlm_commands::mpioaddpath_cmd,
        hdlm_commands::mpioviewinfo_cmd,
        hdlm_commands::admin_majors_cmd,
        hdlm_commands::inventory_cmd,
        hdlm_commands::listing_cmd,
        hdlm_commands::paths_cmd(bench::bareName(options.disk)),
        hdlm_commands::paths_cmd(bench::bareName(bench::diskOf(options.partition)))};
    for (const std::string& command : commands)
        if (std::string why = capture(command, host.outputs[command]); !why.empty()) return why;

    host_double::useRealPartitionReader();
    std::list<slice> read;
    const int found = getPartitions(options.disk.c_str(), read);  // this executable's, forwarded
    if (found <= 0)
        return "reading the partition table of " + options.disk + " gave " + std::to_string(found);
    host.slices.assign(read.begin(), read.end());
    return "";
}

void registerAll(const bench::Options& options, const std::shared_ptr<PluginInstance>& plugin,
                 const std::shared_ptr<CannedHost>& host) {
    const bench::Budget budget = options.budget;
    const std::string disk = options.disk;
    const std::string partition = options.partition;
    PluginInstance* p = plugin.get();

    std::vector<bench::EntryStep> calls = bench::entryPointSteps(*plugin, disk, partition);
    // The plug-in holds the library open as long as a step may run.
    for (bench::EntryStep& call : calls) call.step = [plugin, step = call.step] { return step(); };
    std::vector<std::pair<std::string, Step>> steps;
    steps.emplace_back(calls.front().name, calls.front().step);
    steps.emplace_back("listMPIODevices", [plugin, p] {
        std::map<std::string, std::string> inventory;
        const int rc = p->listMPIODevices(inventory);
        if (rc != 0 || inventory.empty()) return bench::callFailed("listMPIODevices", rc, 0, "");
        return std::string();
    });
    // The splitter's share of the inventory: the very calls listMPIODevices makes (the output
    // into lines, each line into tokens), with nothing of the plug-in's around them. On a real
    // host the splitter is the host's own; the plug-in's own share is the difference.
    const std::string inventoryOutput = host->outputs.at(hdlm_commands::inventory_cmd);
    steps.emplace_back("splitter/inventory", [inventoryOutput] {
        std::vector<std::string> lines;
        FXString::Split(inventoryOutput, "\n", lines, 0);
        std::vector<std::string> tokens;
        size_t split = 0;
        for (const std::string& line : lines) {
            if (line.empty()) continue;
            tokens.clear();
            FXString::Split(line, " ", tokens, 0);
            split += tokens.size();
        }
        benchmark::DoNotOptimize(split);
        return split == 0 ? std::string("the inventory output held no lines") : std::string();
    });
    for (size_t i = 1; i < calls.size(); ++i) steps.emplace_back(calls[i].name, calls[i].step);

    const auto prepare = [host] { host->install(); };
    for (const auto& [name, step] : steps)
        if (options.wanted(name)) bench::registerSingle(name, step, budget, prepare);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options options;
    if (!bench::initialize("parse_bench", argc, argv, options)) return 2;

    auto host = std::make_shared<CannedHost>();
    std::fprintf(stderr, "parse_bench: capturing the simulated host's answers once\n");
    if (const std::string why = captureHost(options, *host); !why.empty()) {
        std::fprintf(stderr,
                     "parse_bench: %s; run it on the simulator: hdlm-sim run TOPOLOGY.json -- %s\n",
                     why.c_str(), argv[0]);
        return 1;
    }
    std::shared_ptr<PluginInstance> plugin = loadFreshPlugin();
    if (plugin == nullptr) {
        std::fprintf(stderr, "parse_bench: could not load a copy of the plug-in (see above)\n");
        return 1;
    }
    host->install();
    int code = 0;
    char message[MAXMPIOERRORLEN] = {};
    if (plugin->init(nullptr, &code, message) == nullptr) {
        std::fprintf(stderr, "parse_bench: init failed on the canned host: %s\n", message);
        return 1;
    }
    registerAll(options, plugin, host);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
