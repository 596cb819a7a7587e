#include "paired_benchmark.h"

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

class BodyBenchmark : public benchmark::internal::Benchmark {
public:
    BodyBenchmark(const std::string& name, std::function<void(benchmark::State&)> body)
        : Benchmark(name.c_str()), body_(std::move(body)) {}
    void Run(benchmark::State& state) override { body_(state); }

private:
    std::function<void(benchmark::State&)> body_;
};

double toSeconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// CPU time of this thread plus that of every child reaped so far (a reaped shell carries the
// time of the pipeline it waited for).
double cpuSeconds() {
    timespec thread{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &thread);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return static_cast<double>(thread.tv_sec) + static_cast<double>(thread.tv_nsec) * 1e-9 +
           toSeconds(children.ru_utime) + toSeconds(children.ru_stime);
}

struct Sample {
    double wall = 0;
    double cpu = 0;
};

Sample measure(const Step& step, bool withCpu, std::string& failure) {
    const double cpuBefore = withCpu ? cpuSeconds() : 0;
    const auto start = Clock::now();
    std::string why = step();
    const auto stop = Clock::now();
    const double cpuAfter = withCpu ? cpuSeconds() : 0;
    if (!why.empty() && failure.empty()) failure = std::move(why);
    return {std::chrono::duration<double>(stop - start).count(), cpuAfter - cpuBefore};
}

double median(std::vector<double>& values) {
    if (values.empty()) return 0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    return (*std::max_element(values.begin(), values.begin() + static_cast<long>(middle)) + upper) /
           2;
}

// The cost of one run of `step`. The first run is a warm-up (first-touch costs are not the
// steady cost). A slow step takes the faster of it and one more run: a run that other load on
// the machine delayed must not shrink the iteration count to nothing. A fast one takes the mean
// of enough further runs to fill 20 ms.
double estimateSeconds(const Step& step, std::string& failure) {
    constexpr double kSample = 0.02;
    const double first = measure(step, false, failure).wall;
    if (!failure.empty()) return first;
    if (first >= kSample) return std::min(first, measure(step, false, failure).wall);
    double total = 0;
    int runs = 0;
    while (total < kSample && runs < 100000 && failure.empty()) {
        total += measure(step, false, failure).wall;
        ++runs;
    }
    return runs > 0 ? total / runs : first;
}

// Enough iterations that all repetitions together take about the budget, at least one each.
int64_t iterationsFor(double secondsPerIteration, const Budget& budget) {
    const double wanted =
        budget.seconds / (budget.repetitions * std::max(secondsPerIteration, 1e-9));
    return static_cast<int64_t>(std::clamp(std::floor(wanted), 1.0, 1e7));
}

void registerFailure(const std::string& name, const std::string& why) {
    registerBody(name, [why](benchmark::State& state) {
        state.SkipWithError(why.c_str());
        while (state.KeepRunning()) {
        }
    })->Iterations(1);
}

}  // namespace

benchmark::internal::Benchmark* registerBody(const std::string& name,
                                             std::function<void(benchmark::State&)> body) {
    // Google Benchmark keeps what it is handed for the life of the process, as the
    // RegisterBenchmark templates do with the same call.
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): the library owns it from here
    return benchmark::internal::RegisterBenchmarkInternal(new BodyBenchmark(name, std::move(body)));
}

void runPair(benchmark::State& state, const Pair& pair) {
    Sample entryTotal;
    Sample floorTotal;
    std::vector<double> ratios;
    std::vector<double> entries;
    std::vector<double> floors;
    ratios.reserve(static_cast<size_t>(state.max_iterations));
    entries.reserve(static_cast<size_t>(state.max_iterations));
    floors.reserve(static_cast<size_t>(state.max_iterations));
    bool entryFirst = false;
    std::string failure;
    while (state.KeepRunning()) {
        Sample entry;
        Sample floor;
        if (entryFirst) {
            entry = measure(pair.entry, pair.runsCommands, failure);
            floor = measure(pair.floor, pair.runsCommands, failure);
        } else {
            floor = measure(pair.floor, pair.runsCommands, failure);
            entry = measure(pair.entry, pair.runsCommands, failure);
        }
        entryFirst = !entryFirst;
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.SetIterationTime(entry.wall);
        entryTotal.wall += entry.wall;
        entryTotal.cpu += entry.cpu;
        floorTotal.wall += floor.wall;
        floorTotal.cpu += floor.cpu;
        entries.push_back(entry.wall);
        floors.push_back(floor.wall);
        if (floor.wall > 0) ratios.push_back(entry.wall / floor.wall);
    }
    using benchmark::Counter;
    state.counters["entry_s"] = Counter(entryTotal.wall, Counter::kAvgIterations);
    state.counters["floor_s"] = Counter(floorTotal.wall, Counter::kAvgIterations);
    state.counters["entry_med_s"] = median(entries);
    state.counters["floor_med_s"] = median(floors);
    state.counters["ratio"] = median(ratios);
    state.counters["ratio_sum"] = floorTotal.wall > 0 ? entryTotal.wall / floorTotal.wall : 0;
    if (pair.runsCommands) {
        state.counters["entry_cpu_s"] = Counter(entryTotal.cpu, Counter::kAvgIterations);
        state.counters["floor_cpu_s"] = Counter(floorTotal.cpu, Counter::kAvgIterations);
        state.counters["cpu_ratio"] = floorTotal.cpu > 0 ? entryTotal.cpu / floorTotal.cpu : 0;
    }
}

void runSingle(benchmark::State& state, const Step& step, bool withCpu) {
    std::vector<double> walls;
    std::vector<double> cpus;
    walls.reserve(static_cast<size_t>(state.max_iterations));
    if (withCpu) cpus.reserve(static_cast<size_t>(state.max_iterations));
    std::string failure;
    while (state.KeepRunning()) {
        const Sample sample = measure(step, withCpu, failure);
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.SetIterationTime(sample.wall);
        walls.push_back(sample.wall);
        if (withCpu) cpus.push_back(sample.cpu);
    }
    state.counters["median_s"] = median(walls);
    if (withCpu) state.counters["cpu_median_s"] = median(cpus);
}

namespace {

void configure(benchmark::internal::Benchmark* benchmark, double cost, const Budget& budget) {
    benchmark->Iterations(iterationsFor(cost, budget))
        ->Repetitions(budget.repetitions)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
}

}  // namespace

void registerPair(const Pair& pair, const Budget& budget) {
    std::string failure;
    const double cost = estimateSeconds(pair.floor, failure) + estimateSeconds(pair.entry, failure);
    if (!failure.empty()) {
        registerFailure(pair.name, "warm-up failed: " + failure);
        return;
    }
    auto shared = std::make_shared<Pair>(pair);
    configure(
        registerBody(pair.name, [shared](benchmark::State& state) { runPair(state, *shared); }),
        cost, budget);
}

void registerSingle(const std::string& name, const Step& step, const Budget& budget,
                    const std::function<void()>& prepare) {
    if (prepare) prepare();
    std::string failure;
    const double cost = estimateSeconds(step, failure);
    if (!failure.empty()) {
        registerFailure(name, "warm-up failed: " + failure);
        return;
    }
    configure(registerBody(name,
                           [step, prepare](benchmark::State& state) {
                               if (prepare) prepare();
                               runSingle(state, step, true);
                           }),
              cost, budget);
}

}  // namespace bench
