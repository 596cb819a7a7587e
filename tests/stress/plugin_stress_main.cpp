// plugin-stress: a host that loads the plug-in, calls init once, then calls every other entry
// point and exported helper from many threads at once, checking each answer against the
// topology of the simulated host it runs in (`hdlm-sim run TOPOLOGY -- plugin-stress ...`).
//
// Exit status: 0 every answer right and nothing left behind; 1 a wrong answer or a leak;
// 2 a usage error or a host that could not be set up.
#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

#include "census.h"
#include "guarded_storage.h"
#include "host_snapshot.h"
#include "plugin_library.h"
#include "stress_operations.h"

namespace {

constexpr size_t kReportedFailures = 20;

struct Options {
    std::string plugin;
    std::string topology;
    int threads = 8;
    double seconds = 5;
};

// Wrong answers from all threads: the first few in full, all of them counted.
class FailureLog {
public:
    void add(std::string failure) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failures_.size() < kReportedFailures) failures_.push_back(std::move(failure));
        ++total_;
    }
    size_t total() const { return total_; }
    const std::vector<std::string>& first() const { return failures_; }

private:
    std::mutex mutex_;
    std::vector<std::string> failures_;
    size_t total_ = 0;
};

// Holds every thread until all are ready, so that the calls really overlap from the start.
class StartGate {
public:
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// Each thread walks the operations and the targets from its own offset, so at any moment the
// threads are in different entry points, and over the run every pair of operation and target
// comes up.
void hammer(const stress::StressContext& context, const std::vector<stress::Operation>& operations,
            const std::vector<stress::Target>& targets, unsigned threadIndex,
            std::chrono::steady_clock::time_point deadline, StartGate& gate,
            std::vector<std::atomic<unsigned long>>& calls, FailureLog& failures) {
    gate.wait();
    for (unsigned round = 0; std::chrono::steady_clock::now() < deadline; ++round) {
        const size_t op = (round + threadIndex) % operations.size();
        const size_t target = (round / operations.size() + threadIndex * 3) % targets.size();
        const std::string failure = operations[op].run(context, targets[target], round);
        calls[op].fetch_add(1, std::memory_order_relaxed);
        if (!failure.empty())
            failures.add("thread " + std::to_string(threadIndex) + ": " + failure);
    }
}

bool reportProblems(const char* stage, const std::vector<std::string>& problems) {
    for (const std::string& p : problems)
        std::cout << "plugin-stress: " << stage << ": " << p << "\n";
    return problems.empty();
}

int runStress(const Options& options) {
    testsupport::HostModel model(sim::loadTopology(options.topology));
    std::cout << "plugin-stress: plug-in " << options.plugin << ", topology " << options.topology
              << ", " << options.threads << " threads, " << options.seconds << " s" << std::endl;

    // ThreadSanitizer starts a thread of its own with the process's first thread; one thread
    // started and joined first keeps it out of the comparison.
    std::thread([] {}).join();
    const census::Snapshot before(/*watchThreads=*/true);
    int exitStatus = 0;
    {
        testsupport::PluginLibrary plugin(options.plugin);
        const testsupport::PluginExports& api = plugin.exports();

        const plugin_calls::TextAnswer init = guarded::Caller(api).init();
        if (!init.text) {
            std::cout << "plugin-stress: init() = null " << stress::describeOutcome(init)
                      << ": is this run inside hdlm-sim?" << std::endl;
            return 2;
        }
        std::cout << "plugin-stress: init() = \"" << *init.text << "\"" << std::endl;

        // The topology's pending changes are applied once, alone: every later refresh finds
        // nothing to do, so every answer during the stress has exactly one right value.
        std::vector<std::string> problems;
        const size_t devicesBefore = model.deviceNames().size();
        stress::takeSnapshot(api, model, problems);
        if (!reportProblems("before the first refresh", problems)) return 1;
        const plugin_calls::Answer refreshed = guarded::Caller(api).refresh();
        if (refreshed.result != 0) {
            std::cout << "plugin-stress: the first refreshMPIO() = "
                      << stress::describeOutcome(refreshed) << std::endl;
            return 1;
        }
        model.deleteGonePaths();
        model.addAttachedPaths();
        const stress::HostSnapshot snapshot = stress::takeSnapshot(api, model, problems);
        if (!reportProblems("after the first refresh", problems)) return 1;
        std::cout << "plugin-stress: one call at a time: " << devicesBefore
                  << " devices before the first refresh and " << snapshot.devices.size()
                  << " after it, as the topology says" << std::endl;

        const std::vector<stress::Operation> operations = stress::stressOperations();
        const std::vector<stress::Target> targets = stress::stressTargets(snapshot);
        const stress::StressContext context{api, snapshot, *init.text};
        std::vector<std::atomic<unsigned long>> calls(operations.size());
        FailureLog failures;
        StartGate gate;
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(static_cast<long>(options.seconds * 1000));
        std::vector<std::thread> threads;
        for (int i = 0; i < options.threads; ++i)
            threads.emplace_back(hammer, std::cref(context), std::cref(operations),
                                 std::cref(targets), static_cast<unsigned>(i), deadline,
                                 std::ref(gate), std::ref(calls), std::ref(failures));
        gate.open();
        for (std::thread& t : threads) t.join();

        unsigned long total = 0;
        for (size_t i = 0; i < operations.size(); ++i) {
            std::printf("  %-22s %8lu calls\n", operations[i].name, calls[i].load());
            total += calls[i].load();
            if (calls[i].load() == 0) {
                std::cout << "plugin-stress: " << operations[i].name
                          << " was never called: give the run more time (--seconds)\n";
                exitStatus = 1;
            }
        }
        for (const std::string& f : failures.first()) std::cout << "plugin-stress: " << f << "\n";
        if (failures.total() > 0) {
            std::cout << "plugin-stress: " << failures.total() << " wrong answers in " << total
                      << " calls" << (failures.total() > kReportedFailures ? " (first shown)" : "")
                      << std::endl;
            exitStatus = 1;
        } else {
            std::cout << "plugin-stress: " << total << " calls from " << options.threads
                      << " threads, every answer as the snapshot" << std::endl;
        }
    }
    const std::vector<std::string> leaks = before.leaks();
    if (!reportProblems("left behind", leaks)) return 1;
    if (exitStatus == 0)
        std::cout << "plugin-stress: OK: no descriptor, thread or child process left" << std::endl;
    return exitStatus;
}

int stressMain(int argc, char** argv) {
    Options options;
    if (const char* seconds = std::getenv("PLUGIN_STRESS_SECONDS")) {
        char* end = nullptr;
        options.seconds = std::strtod(seconds, &end);
        if (end == seconds || *end != '\0' || !(options.seconds > 0)) {
            std::cout << "plugin-stress: PLUGIN_STRESS_SECONDS=" << seconds
                      << " is not a positive number of seconds; unset it or give e.g. 5\n";
            return 2;
        }
    }
    CLI::App app{
        "Loads the HDLM plug-in, calls init once, then every other entry point from many threads "
        "at once inside a simulated host (hdlm-sim run TOPOLOGY -- plugin-stress ...), checking "
        "each answer against TOPOLOGY.",
        "plugin-stress"};
    app.add_option("--plugin", options.plugin, "the plug-in to load")->required();
    app.add_option("--topology", options.topology, "the topology the simulated host runs")
        ->required();
    app.add_option("--threads", options.threads, "threads calling at once")
        ->check(CLI::Range(1, 256));
    app.add_option("--seconds", options.seconds,
                   "how long the threads call (default 5, or PLUGIN_STRESS_SECONDS)")
        ->check(CLI::Range(0.1, 3600.0));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    try {
        return runStress(options);
    } catch (const std::exception& e) {
        std::cout << "plugin-stress: " << e.what() << std::endl;
        return 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Setting up the command line can throw too (allocation); nothing may escape main.
    try {
        return stressMain(argc, argv);
    } catch (...) {
        std::cout << "plugin-stress: unexpected failure while starting" << std::endl;
        return 2;
    }
}
