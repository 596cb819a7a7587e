// An entry point timed against its floor inside the same iterations. Each iteration runs both,
// in alternating order, so load that comes and goes on the machine falls on both alike.
//
// Counters of each repetition (means per iteration, in seconds, and ratios entry / floor):
//   entry_s, floor_s      wall time (means)
//   entry_med_s, floor_med_s  the median iteration's wall time of each
//   ratio                 the median of the iterations' own entry/floor ratios: one iteration
//                         that other load on the machine slowed down does not move it
//   ratio_sum             sum of entry wall time / sum of floor wall time
//   entry_cpu_s, floor_cpu_s, cpu_ratio   (pairs that run commands) CPU time of this thread and
//                         of every process the step started and reaped: the work the step made
//                         the machine do, which waiting for a busy CPU does not inflate
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

namespace bench {

// A measured step: does its work and returns an empty string, or says what went wrong (a call
// that failed must not be timed as if it had done its job).
using Step = std::function<std::string()>;

struct Pair {
    std::string name;
    Step entry;                 // the plug-in's entry point
    Step floor;                 // the same commands (or system calls) with nothing else
    bool runsCommands = false;  // also count CPU time, children included
};

struct Budget {
    double seconds = 2.0;  // wall time aimed at for all repetitions of one benchmark
    int repetitions = 5;
};

// Runs the pair a little (warm-up, and the cost estimate that sizes the iteration count), then
// registers it with Google Benchmark. A pair whose warm-up fails is registered as an error.
void registerPair(const Pair& pair, const Budget& budget);

// Registers a benchmark whose body is any callable (what benchmark::RegisterBenchmark does with
// a lambda), in one place.
benchmark::internal::Benchmark* registerBody(const std::string& name,
                                             std::function<void(benchmark::State&)> body);

// The loop of a paired benchmark, for callers that register and size it themselves (e.g. when
// the state it measures is set up inside the benchmark function).
void runPair(benchmark::State& state, const Pair& pair);

// The loop of a single-step benchmark, for callers that register it themselves. Counters:
// median_s, the median iteration's wall time; with `withCpu`, also cpu_median_s, the median
// iteration's CPU time (this thread and the children it reaped).
void runSingle(benchmark::State& state, const Step& step, bool withCpu = false);

// One step alone (no floor): the plug-in's own cost on a canned host. Reports wall time per
// iteration (manual time) and the counters of runSingle, CPU time included. `prepare`, when
// given, runs untimed before the warm-up and before each repetition (to set the canned host up
// afresh).
void registerSingle(const std::string& name, const Step& step, const Budget& budget,
                    const std::function<void()>& prepare = {});

}  // namespace bench
