// peak-rss must tell the command's own peak from its tree's, and pass the command's end on.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct Outcome {
    int exitStatus = -1;                 // of peak-rss itself
    std::map<std::string, long> fields;  // what it wrote
};

Outcome runPeakRss(const std::string& command) {
    // ctest runs these cases as separate processes side by side: one file each.
    const std::string output =
        std::string(::testing::TempDir()) + "peak-rss-test-" + std::to_string(getpid()) + ".txt";
    std::remove(output.c_str());
    const std::string line = std::string(PEAK_RSS) + " --output " + output + " -- " + command;
    // NOLINTNEXTLINE(cert-env33-c): the tool runs as a user would start it, through a shell
    const int status = std::system(line.c_str());
    Outcome outcome;
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    std::remove(output.c_str());
    const std::regex field(R"((\w+)=(-?\d+))");
    for (auto it = std::sregex_iterator(all.begin(), all.end(), field);
         it != std::sregex_iterator(); ++it)
        outcome.fields[(*it)[1]] = std::stol((*it)[2]);
    return outcome;
}

constexpr long kMiB = 1024;  // the fields are in KiB

TEST(PeakRss, MemoryTheCommandTouchesIsItsOwnPeak) {
    const Outcome outcome = runPeakRss(std::string(TOUCH_MEMORY) + " 80 0");
    ASSERT_EQ(outcome.exitStatus, 0);
    EXPECT_GE(outcome.fields.at("command_peak_rss_kib"), 80 * kMiB);
    EXPECT_GE(outcome.fields.at("tree_peak_rss_kib"), 80 * kMiB);
}

TEST(PeakRss, AChildsMemoryCountsForTheTreeOnly) {
    const Outcome outcome =
        runPeakRss("/bin/sh -c '" + std::string(TOUCH_MEMORY) + " 96 0; exit 0'");
    ASSERT_EQ(outcome.exitStatus, 0);
    EXPECT_LT(outcome.fields.at("command_peak_rss_kib"), 32 * kMiB) << "the shell itself is small";
    EXPECT_GE(outcome.fields.at("tree_peak_rss_kib"), 96 * kMiB);
}

TEST(PeakRss, TheCommandsEndIsPassedOn) {
    struct Case {
        const char* how;
        int expected;
    };
    for (const Case& c :
         {Case{"0", 0}, Case{"3", 3}, Case{"signal:15", 128 + 15}, Case{"signal:9", 128 + 9}}) {
        SCOPED_TRACE(c.how);
        const Outcome outcome = runPeakRss(std::string(TOUCH_MEMORY) + " 1 " + c.how);
        EXPECT_EQ(outcome.exitStatus, c.expected);
        ASSERT_EQ(outcome.fields.count("exit_status"), 1u);
        EXPECT_EQ(outcome.fields.at("exit_status"), c.expected);
        EXPECT_GT(outcome.fields.at("command_peak_rss_kib"), 0);
    }
}

TEST(PeakRss, ACommandThatCannotRunIs127) {
    const Outcome outcome = runPeakRss("/nonexistent/command");
    EXPECT_EQ(outcome.exitStatus, 127);
    EXPECT_EQ(outcome.fields.at("exit_status"), 127);
}

TEST(PeakRss, MisuseIsAUsageError) {
    for (const char* arguments : {"", "--output", "--output x", "--bogus -- true", "--"}) {
        SCOPED_TRACE(arguments);
        const std::string line = std::string(PEAK_RSS) + " " + arguments + " 2>/dev/null";
        // NOLINTNEXTLINE(cert-env33-c): the tool runs as a user would start it, through a shell
        const int status = std::system(line.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
    }
}

}  // namespace
