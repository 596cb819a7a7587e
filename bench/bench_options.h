// Options the benchmark binaries take besides Google Benchmark's own (--benchmark_*).
#pragma once

#include <string>

#include "paired_benchmark.h"

namespace bench {

struct Options {
    std::string disk = "/dev/sddlmaa";        // an HDLM disk with a partition table
    std::string partition = "/dev/sddlmaa1";  // one of its partitions
    Budget budget;
    std::string filter;  // --benchmark_filter, seen but left for Google Benchmark

    // Whether a benchmark of this name will run: only those are warmed up and registered, so
    // a filtered run does not pay for the others' warm-up calls.
    bool wanted(const std::string& name) const;
};

// Takes --disk=, --partition=, --reps= and --budget= (seconds per benchmark) out of argv,
// leaving the rest for benchmark::Initialize. Returns an error text for a malformed value.
std::string takeOptions(int& argc, char** argv, Options& options);

// takeOptions, then Google Benchmark's own options; false, having said why on stderr under the
// name `program`, when a value is malformed or an option unknown (exit status 2 then).
bool initialize(const char* program, int& argc, char** argv, Options& options);

}  // namespace bench
