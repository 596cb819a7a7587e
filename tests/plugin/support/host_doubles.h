// The host's runner, logger and partition reader as the plug-in's tests and the fuzzers need
// them: definitions of the host's own symbols that take the place of the real libraries' ones
// (exported by a test executable that dlopens the plug-in, or linked beside the plug-in's module
// compiled into a harness). Callers script answers and read back what the plug-in did; every
// breach of the host's rules is reported (see misuse()).
#pragma once

#include <functional>
#include <list>
#include <string>
#include <vector>

#include "kpartx.h"

namespace host_double {

struct Reply {
    int status = 0;
    std::string output;
    std::string error;
};

struct RunRecord {
    std::string command;
    int timeoutSeconds;
    bool mergeStderr;
    bool outputGiven;
    bool errorGiven;
};

struct LogRecord {
    std::string label;
    int level;
    std::string message;
};

// The status an unscripted command gets, like a shell that can't find the program.
constexpr int kUnscriptedStatus = 127;

// Forgets every script, record and breach: resetRunner, resetLogger and the partition script.
void reset();
void resetRunner();
void resetLogger();

// The runner answers `command` (exact text) with this status, standard output and error text.
void answer(const std::string& command, int status, const std::string& output = "",
            const std::string& error = "");
// The runner answers command lines that start with `prefix` with `reply`, unless an exact
// answer matches; of several prefixes the first scripted wins.
void answerPrefix(const std::string& prefix, const Reply& reply);
// The runner runs `command` itself with /bin/sh, `dlnkmgr` there printing `dlnkmgrOutput` and
// succeeding: the command's own filters decide what the plug-in gets.
void answerThroughShell(const std::string& command, const std::string& dlnkmgrOutput);
// The runner throws std::bad_alloc when asked to run `command`.
void throwOn(const std::string& command);
// The runner calls `action` when asked to run `command`, before it answers (e.g. to make a
// device node vanish in the middle of a call).
void onRun(const std::string& command, std::function<void()> action);
const std::vector<RunRecord>& runs();
std::vector<std::string> commands();

const std::vector<LogRecord>& logs();
// Log lines of one label, or every line holding `fragment` in its message.
std::vector<LogRecord> logsWithLabel(const std::string& label);
std::vector<LogRecord> logsContaining(const std::string& fragment);
// How many messages start with `prefix`.
size_t countLogged(const std::string& prefix);
// The logger throws std::bad_alloc from DebugLvl while set.
void throwFromLogger(bool on);

// Breaches of the host's rules so far, described: a null, timed or stderr-merging command; a
// logger not "one short-lived object, one DebugLvl call, null sink"; a label outside HDLM::, a
// level other than 0 and -1, a null or unformattable format; a message that the host's log-line
// builder makes into more than one line.
std::vector<std::string> misuse();
// Sends each breach to `report` as it happens instead of keeping it for misuse() (null: keep).
using MisuseReport = void (*)(const std::string& what);
void reportMisuseTo(MisuseReport report);

// getPartitions answers `result` and appends `slices` (any device), or hands the call to the
// real libkpartx.so when useRealPartitionReader() was called. Only where the plug-in is loaded
// (partition_reader_double.cpp): a harness compiles the stand-in reader in instead.
void scriptPartitions(int result, const std::vector<slice>& slices);
void useRealPartitionReader();
const std::vector<std::string>& partitionReads();

// What partition_reader_double.cpp answers from.
struct PartitionScript {
    bool scripted = false;
    bool real = false;
    int result = 0;
    std::vector<slice> slices;
    std::vector<std::string> reads;
};
PartitionScript& partitionScript();

}  // namespace host_double
