// A scripted host for the plug-in: the test executable defines the host's runner, logger and
// partition reader itself and exports them, so they take the place of the real libraries'
// symbols when the plug-in is loaded. Tests script answers and read back what the plug-in did.
#pragma once

#include <functional>
#include <list>
#include <string>
#include <vector>

#include "kpartx.h"

namespace host_double {

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

// Forgets every script and record; unscripted commands then fail with status 127.
void reset();

// The runner answers `command` (exact text) with this status, standard output and error text.
void answer(const std::string& command, int status, const std::string& output = "",
            const std::string& error = "");
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
// Breaches of "one short-lived logger, one DebugLvl call, null sink" so far, described.
std::vector<std::string> loggerMisuse();
// The logger throws std::bad_alloc from DebugLvl while set.
void throwFromLogger(bool on);

// getPartitions answers `result` and appends `slices` (any device), or hands the call to the
// real libkpartx.so when useRealPartitionReader() was called.
void scriptPartitions(int result, const std::vector<slice>& slices);
void useRealPartitionReader();
const std::vector<std::string>& partitionReads();

}  // namespace host_double
