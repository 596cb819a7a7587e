// The benchmark binaries' own options: taken out of argv, checked, the rest left in order.
#include "bench_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    std::string error;
    bench::Options options;
    std::vector<std::string> rest;
};

Parsed parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "bench");
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(arguments.size());
    Parsed parsed;
    parsed.error = bench::takeOptions(argc, argv.data(), parsed.options);
    for (int i = 1; i < argc; ++i) parsed.rest.emplace_back(argv[static_cast<size_t>(i)]);
    EXPECT_EQ(argv[static_cast<size_t>(argc)], nullptr);
    return parsed;
}

TEST(BenchOptions, OwnOptionsAreTakenAndTheRestKeptInOrder) {
    const Parsed p =
        parse({"--benchmark_repetitions=3", "--disk=/dev/sddlmab", "--reps=7", "--budget=0.5",
               "--partition=/dev/sddlmab2", "--benchmark_filter=init"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.disk, "/dev/sddlmab");
    EXPECT_EQ(p.options.partition, "/dev/sddlmab2");
    EXPECT_EQ(p.options.budget.repetitions, 7);
    EXPECT_DOUBLE_EQ(p.options.budget.seconds, 0.5);
    EXPECT_EQ(p.options.filter, "init");
    EXPECT_EQ(p.rest,
              (std::vector<std::string>{"--benchmark_repetitions=3", "--benchmark_filter=init"}));
}

TEST(BenchOptions, MalformedValuesAreRefused) {
    for (const char* bad : {"--reps=0", "--reps=", "--reps=3x", "--reps=1001", "--budget=0",
                            "--budget=-1", "--budget=fast", "--budget=", "--budget=nan"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE(parse({bad}).error, "");
    }
}

TEST(BenchOptions, ALookalikeOptionIsLeftAlone) {
    const Parsed p = parse({"--disks=/dev/x", "--reps"});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.disk, "/dev/sddlmaa");
    EXPECT_EQ(p.rest, (std::vector<std::string>{"--disks=/dev/x", "--reps"}));
}

TEST(BenchOptions, TheFilterSelectsAsGoogleBenchmarkDoes) {
    struct Case {
        const char* filter;
        const char* name;
        bool wanted;
    };
    for (const Case& c : {Case{"", "init", true}, Case{"all", "refreshMPIO", true},
                          Case{"init", "init", true}, Case{"init", "refreshMPIO", false},
                          Case{"Devices/disk$", "getUnderlyingDevices/disk", true},
                          Case{"Devices/disk$", "getUnderlyingDevices/partition", false},
                          Case{"-refresh", "refreshMPIO", false}, Case{"-refresh", "init", true}}) {
        SCOPED_TRACE(std::string(c.filter) + " " + c.name);
        bench::Options options;
        options.filter = c.filter;
        EXPECT_EQ(options.wanted(c.name), c.wanted);
    }
}

}  // namespace
