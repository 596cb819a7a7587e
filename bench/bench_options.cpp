#include "bench_options.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

namespace bench {

namespace {

bool takeValue(const char* argument, const char* flag, std::string& value) {
    const size_t length = std::strlen(flag);
    if (std::strncmp(argument, flag, length) != 0 || argument[length] != '=') return false;
    value = argument + length + 1;
    return true;
}

}  // namespace

std::string takeOptions(int& argc, char** argv, Options& options) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (takeValue(argv[i], "--disk", options.disk) ||
            takeValue(argv[i], "--partition", options.partition)) {
            continue;
        }
        if (takeValue(argv[i], "--reps", value)) {
            char* end = nullptr;
            const long reps = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || reps < 1 || reps > 1000)
                return "--reps wants a whole number from 1 to 1000, not '" + value + "'";
            options.budget.repetitions = static_cast<int>(reps);
            continue;
        }
        if (takeValue(argv[i], "--budget", value)) {
            char* end = nullptr;
            const double seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(seconds > 0) || seconds > 3600)
                return "--budget wants seconds above 0 (at most 3600), not '" + value + "'";
            options.budget.seconds = seconds;
            continue;
        }
        takeValue(argv[i], "--benchmark_filter", options.filter);
        argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return "";
}

bool Options::wanted(const std::string& name) const {
    // Google Benchmark's own reading: a regular expression searched for in the name, negated
    // by a leading '-'; empty or "all" selects everything.
    if (filter.empty() || filter == "all") return true;
    const bool negated = filter[0] == '-';
    try {
        const std::regex pattern(negated ? filter.substr(1) : filter);
        return std::regex_search(name, pattern) != negated;
    } catch (const std::regex_error&) {
        return true;  // Google Benchmark reports the bad expression itself
    }
}

bool initialize(const char* program, int& argc, char** argv, Options& options) {
    if (const std::string why = takeOptions(argc, argv, options); !why.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, why.c_str());
        return false;
    }
    benchmark::Initialize(&argc, argv);
    return !benchmark::ReportUnrecognizedArguments(argc, argv);
}

}  // namespace bench
