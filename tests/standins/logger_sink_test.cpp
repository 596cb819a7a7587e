// EvDebug sink: the TS_DEBUG_LOG file (created, appended, whole lines under concurrency) or
// standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "EvDebug.h"
#include "log_file_reader.h"
#include "temp_dir.h"
#include "test_fixtures.h"

namespace {

TEST(LoggerSink, CreatesTheFileAndAppendsToExistingContent) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/new.log";
    testlog::ScopedEnv env("TS_DEBUG_LOG", path.c_str());
    EvDebug(nullptr).DebugLvl("L", 0, "first");
    ASSERT_EQ(::access(path.c_str(), F_OK), 0) << "the log file was not created";
    EvDebug(nullptr).DebugLvl("L", 0, "second");
    const auto lines = testlog::read_lines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(testlog::parse_line(lines[1])->message, "second");

    // A file rotated away is replaced by a new one on the next line.
    ASSERT_EQ(::rename(path.c_str(), (path + ".1").c_str()), 0);
    EvDebug(nullptr).DebugLvl("L", 0, "third");
    EXPECT_EQ(testlog::read_lines(path).size(), 1u);
}

// Logs one line on a thread whose cancellation is already requested (and enabled), then lets it
// act. Returns whether DebugLvl returned.
void* log_with_cancellation_pending(void* returned) {
    ::pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    ::pthread_cancel(::pthread_self());
    ::pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, nullptr);
    EvDebug(nullptr).DebugLvl("L", 0, "last words");
    *static_cast<bool*>(returned) = true;
    ::pthread_testcancel();
    return nullptr;
}

TEST(LoggerSink, CancelledThreadWritesTheWholeLineFirst) {
    // The sink's open, write and close are cancellation points in noexcept code: acting there
    // would end the process.
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/cancelled.log";
    testlog::ScopedEnv env("TS_DEBUG_LOG", path.c_str());
    bool returned = false;
    pthread_t thread;
    ASSERT_EQ(::pthread_create(&thread, nullptr, log_with_cancellation_pending, &returned), 0);
    void* outcome = nullptr;
    ASSERT_EQ(::pthread_join(thread, &outcome), 0);
    EXPECT_TRUE(returned);
    EXPECT_EQ(outcome, PTHREAD_CANCELED);
    const auto lines = testlog::read_lines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(testlog::parse_line(lines[0])->message, "last words");
}

TEST(LoggerSink, KeepsTheCallersErrno) {
    testsupport::TempDir dir;
    testlog::ScopedEnv env("TS_DEBUG_LOG", (dir.path() + "/missing-dir/x.log").c_str());
    int saved_stderr = ::dup(STDERR_FILENO);
    int null_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(null_fd, STDERR_FILENO);
    errno = ENOTTY;
    EvDebug(nullptr).DebugLvl("L", 0, "m");
    const int after = errno;
    ::dup2(saved_stderr, STDERR_FILENO);
    ::close(saved_stderr);
    ::close(null_fd);
    EXPECT_EQ(after, ENOTTY);
}

// Runs `write` with standard error sent to a file; returns what arrived there.
template <typename Write>
std::vector<std::string> capture_stderr(const testsupport::TempDir& dir, Write write) {
    const std::string path = dir.path() + "/stderr.txt";
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    write();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(file);
    return testlog::read_lines(path);
}

struct FallbackCase {
    const char* name;
    const char* value;  // TS_DEBUG_LOG; nullptr unsets it; "@" means an unopenable path
};

class LoggerStderrFallback : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(LoggerStderrFallback, LineGoesToStandardError) {
    testsupport::TempDir dir;
    const std::string unopenable = dir.path() + "/no/such/dir/log";
    const char* value = GetParam().value;
    if (value && std::string(value) == "@") value = unopenable.c_str();
    testlog::ScopedEnv env("TS_DEBUG_LOG", value);
    const auto lines =
        capture_stderr(dir, [] { EvDebug(nullptr).DebugLvl("HDLM::x", -1, "to %s", "stderr"); });
    ASSERT_EQ(lines.size(), 1u);
    const auto parsed = testlog::parse_line(lines[0]);
    ASSERT_TRUE(parsed) << lines[0];
    EXPECT_EQ(parsed->level, -1);
    EXPECT_EQ(parsed->message, "to stderr");
}

INSTANTIATE_TEST_SUITE_P(Cases, LoggerStderrFallback,
                         ::testing::Values(FallbackCase{"Unset", nullptr},
                                           FallbackCase{"Empty", ""},
                                           FallbackCase{"Unopenable", "@"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each writer logs `count` lines whose message names the writer and the line number and is long
// enough that a torn write would show.
void write_lines(const std::string& writer, int count) {
    const std::string padding(700, 'p');
    for (int i = 0; i < count; ++i) {
        EvDebug(nullptr).DebugLvl("HDLM::w", 0, "%s %d %s", writer.c_str(), i, padding.c_str());
    }
}

// Every line parses, and every writer's lines arrived complete, each exactly once, in order.
void expect_whole_lines(const std::string& path, int writers, int per_writer) {
    bool complete = false;
    const auto lines = testlog::read_lines(path, &complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(writers * per_writer));
    std::map<std::string, int> next;
    const std::string padding(700, 'p');
    for (const auto& text : lines) {
        const auto line = testlog::parse_line(text);
        ASSERT_TRUE(line) << "torn or malformed line: " << text.substr(0, 120);
        const auto space = line->message.find(' ');
        const auto second = line->message.find(' ', space + 1);
        ASSERT_NE(second, std::string::npos) << line->message.substr(0, 120);
        const std::string writer = line->message.substr(0, space);
        const int number = std::stoi(line->message.substr(space + 1, second - space - 1));
        EXPECT_EQ(line->message.substr(second + 1), padding);
        EXPECT_EQ(number, next[writer]++) << "writer " << writer;
    }
    EXPECT_EQ(next.size(), static_cast<std::size_t>(writers));
}

TEST(LoggerSink, ConcurrentThreadsWriteWholeLines) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/threads.log";
    testlog::ScopedEnv env("TS_DEBUG_LOG", path.c_str());
    constexpr int kThreads = 8;
    constexpr int kLines = 500;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(write_lines, "t" + std::to_string(t), kLines);
    }
    for (auto& thread : threads) thread.join();
    expect_whole_lines(path, kThreads, kLines);
}

TEST(LoggerSink, ConcurrentProcessesWriteWholeLines) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/processes.log";
    testlog::ScopedEnv env("TS_DEBUG_LOG", path.c_str());
    constexpr int kProcesses = 4;
    constexpr int kLines = 500;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            write_lines("p" + std::to_string(p), kLines);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expect_whole_lines(path, kProcesses, kLines);
}

}  // namespace
