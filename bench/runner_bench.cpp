// The runner's start cost against the size of the host process: while this process holds 0, 1,
// 4 and 8 GiB of touched memory, `true` runs through TsProcess::system (posix_spawn) and, in the
// same iterations, through a plain fork + exec of the same shell command. A fork copies the
// page tables of everything the host holds; a spawn shares the address space until the exec.
//   build/bin/runner_bench [--sizes=0,1,4,8] [--reps=N] [--budget=SECONDS] [--benchmark_*...]
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TsProcess.h"
#include "bench_options.h"
#include "memory_ballast.h"
#include "paired_benchmark.h"

namespace {

std::string runThroughRunner() {
    std::string output;
    std::string error;
    const int status = TsProcess::system("true", &output, &error, 0, false);
    if (status != 0)
        return "TsProcess::system(\"true\") gave " + std::to_string(status) + ": " + error;
    return "";
}

std::string runThroughFork() {
    const pid_t pid = fork();
    if (pid < 0) return "fork failed";
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", "true", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return "waitpid failed";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "fork + exec of sh -c true ended with wait status " + std::to_string(status);
    return "";
}

// Takes --sizes=0,1,4,8 (GiB) out of argv.
std::string takeSizes(int& argc, char** argv, std::vector<size_t>& sizes) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--sizes=", 0) != 0) {
            argv[kept++] = argv[i];
            continue;
        }
        sizes.clear();
        std::string list = argument.substr(8);
        size_t start = 0;
        while (start <= list.size()) {
            const size_t comma = std::min(list.find(',', start), list.size());
            const std::string item = list.substr(start, comma - start);
            if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos ||
                item.size() > 3)
                return "--sizes wants GiB counts separated by commas, e.g. 0,1,4,8, not '" + list +
                       "'";
            sizes.push_back(std::stoul(item));
            start = comma + 1;
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options options;
    std::vector<size_t> sizes = {0, 1, 4, 8};
    std::string why = bench::takeOptions(argc, argv, options);
    if (why.empty()) why = takeSizes(argc, argv, sizes);
    if (!why.empty()) {
        std::fprintf(stderr, "runner_bench: %s\n", why.c_str());
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

    static bench::MemoryBallast ballast;
    // One size after the other, in registration order: the ballast changes only between sizes.
    // The two ways are timed apart, not interleaved: what a fork of a big process leaves the
    // kernel to clean up afterwards would otherwise be charged to the spawn that follows it.
    for (const size_t gib : sizes) {
        for (const auto& [way, step] :
             {std::pair<const char*, bench::Step>{"runner", runThroughRunner},
              std::pair<const char*, bench::Step>{"fork_exec", runThroughFork}}) {
            const std::string name = std::string(way) + "/host_gib:" + std::to_string(gib);
            if (!options.wanted(name)) continue;
            bench::registerBody(name,
                                [gib, step = step](benchmark::State& state) {
                                    const std::string failure = ballast.hold(gib);
                                    if (!failure.empty()) {
                                        state.SkipWithError(failure.c_str());
                                        while (state.KeepRunning()) {
                                        }
                                        return;
                                    }
                                    bench::runSingle(state, step, true);
                                })
                ->MinTime(options.budget.seconds / options.budget.repetitions)
                ->Repetitions(options.budget.repetitions)
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    ballast.hold(0);
    benchmark::Shutdown();
    return 0;
}
