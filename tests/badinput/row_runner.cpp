#include "row_runner.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "call_frame.h"
#include "census.h"
#include "host_script.h"
#include "support/fifo_watchdog.h"
#include "support/plugin_fixture.h"
#include "support/working_folder.h"

namespace bad_input {
namespace {

// A row's text with {name} replaced, cut to what a 1024-byte buffer holds.
std::string expand(const std::string& text, const std::string& name, size_t limit = 1023) {
    std::string out = text;
    const size_t at = out.find("{name}");
    if (at != std::string::npos) out.replace(at, 6, name);
    return out.substr(0, limit);
}

void checkText(const char* what, const guarded::Text& buffer, const TextEffect& expected,
               const std::string& name) {
    switch (expected.kind) {
        case TextEffect::Untouched:
            EXPECT_TRUE(buffer.untouched()) << what << " was written: " << buffer.text();
            break;
        case TextEffect::Zeroed:
            EXPECT_TRUE(buffer.zeroFrom(0)) << what << " is not all zero: " << buffer.text();
            break;
        case TextEffect::Text:
            EXPECT_TRUE(buffer.terminated()) << what << " holds no NUL within its 1024 bytes";
            EXPECT_EQ(buffer.text(), expand(expected.text, name)) << what;
            break;
    }
}

void checkListEntries(const Row& row, CallFrame& frame, const std::string& name) {
    for (int i = 0; i < row.arrayLength; ++i) {
        const guarded::Text& buffer = *frame.entryBuffers[static_cast<size_t>(i)];
        if (i >= row.filled) {
            EXPECT_TRUE(buffer.untouched()) << "entry [" << i << "] was written: " << buffer.text();
            continue;
        }
        EXPECT_TRUE(buffer.terminated()) << "entry [" << i << "] holds no NUL";
        // Entries are written in full: the tail behind the text is zeroed.
        EXPECT_TRUE(buffer.zeroFrom(buffer.text().size())) << "entry [" << i << "] tail";
        if (static_cast<size_t>(i) < row.entryTexts.size()) {
            EXPECT_EQ(buffer.text(), expand(row.entryTexts[static_cast<size_t>(i)], name))
                << "entry [" << i << "]";
        }
    }
}

void checkPartitionEntries(const Row& row, CallFrame& frame, const std::string& name) {
    for (int i = 0; i < row.arrayLength; ++i) {
        const size_t index = static_cast<size_t>(i);
        if (i >= row.filled) {
            EXPECT_TRUE(frame.parts->untouched(index)) << "TsPartInfo [" << i << "] was written";
            continue;
        }
        const TsPartInfo info = frame.parts->get(index);
        EXPECT_NE(std::memchr(info.devName, '\0', sizeof(info.devName)), nullptr);
        EXPECT_EQ(info.sectorSize, 512u) << "TsPartInfo [" << i << "]";
        // A partition above 15 has no node of its own: 0:0 names no device.
        EXPECT_EQ(info.devMajor, info.partNum > 15 ? 0u : 253u) << "TsPartInfo [" << i << "]";
        // devName holds at most 1022 characters.
        if (index < row.entryTexts.size()) {
            EXPECT_EQ(std::string(info.devName), expand(row.entryTexts[index], name, 1022));
        }
    }
    if (row.firstDevMinor && row.filled > 0) {
        EXPECT_EQ(frame.parts->get(0).devMinor, *row.firstDevMinor);
    }
}

void checkRuns(const Row& row) {
    const std::vector<std::string> commands = host_double::commands();
    const std::string hdev = "-hdev";
    switch (row.runs) {
        case Runs::Unchecked:
            break;
        case Runs::Nothing:
            EXPECT_TRUE(commands.empty()) << "ran " << commands.front();
            break;
        case Runs::InventoryAtMost:
            for (const std::string& command : commands) {
                EXPECT_EQ(command, cmd::inventory_cmd);
            }
            break;
        case Runs::NoHdevQuery:
            for (const std::string& command : commands) {
                EXPECT_EQ(command.find(hdev), std::string::npos) << command;
            }
            break;
        case Runs::HdevQueryFor:
            EXPECT_EQ(std::count(commands.begin(), commands.end(), cmd::paths_cmd(row.hdevName)), 1)
                << "no query for " << row.hdevName;
            break;
    }
}

}  // namespace

void runRow(PluginInstance& plugin, const Row& row, const bad_names::Scratch& scratch) {
    ASSERT_EQ(scriptHost(plugin, row.script), "");
    const std::optional<std::string> nameText = scratch.text(row.name);
    const char* name = nameText ? nameText->c_str() : nullptr;
    const std::string nameForChecks = nameText.value_or("");
    CallFrame frame(row);

    long long result = 0;
    bool blocked = false;
    std::string leftBehind;
    {
        const WorkingFolder inScratch(scratch.dir());
        ASSERT_TRUE(inScratch.entered()) << "cannot enter " << scratch.dir();
        // The folder's own descriptor is open before the snapshot and closed after it.
        const census::Snapshot before;
        FifoWatchdog watchdog(scratch.fifo(), 2000);
        result = invoke(plugin, row, name, frame);
        blocked = watchdog.stopAndReportBlocked();
        leftBehind = before.leftBehind();
    }

    // What every case must hold.
    EXPECT_EQ(frame.damage(), "") << "a call wrote past a caller buffer";
    EXPECT_EQ(leftBehind, "");
    EXPECT_FALSE(blocked) << "the call blocked on the FIFO until the watchdog released it";
    EXPECT_NE(access(scratch.canary().c_str(), F_OK), 0) << "shell code in a name was executed";
    if (!nameForChecks.empty()) {
        for (const std::string& command : host_double::commands()) {
            EXPECT_EQ(command.find(nameForChecks), std::string::npos)
                << "the host's text reached the runner: " << command;
        }
    }

    // What this case documents.
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(frame.errorCode.get(0), row.code.written ? row.code.value : kUntouchedCode)
        << "errorCode";
    if (!(row.nulls & kNullErrorMessage)) {
        checkText("errorMessage", frame.errorMessage, row.message, nameForChecks);
    }
    checkText("parent", frame.parent, row.parent, nameForChecks);
    if (!(row.nulls & kNullCount)) {
        EXPECT_EQ(frame.count.get(0), row.countOut.value_or(row.capacityIn())) << "*count";
    }
    if (row.entry == Entry::getPartitionDevices) {
        checkPartitionEntries(row, frame, nameForChecks);
    } else {
        checkListEntries(row, frame, nameForChecks);
    }
    if (row.nameOut) {
        EXPECT_EQ(frame.nameOut, expand(*row.nameOut, nameForChecks, std::string::npos));
    }
    if (row.mapOut) {
        EXPECT_EQ(frame.map, *row.mapOut);
    }
    checkRuns(row);
    if (!row.refusalLogged.empty()) {
        const auto lines = host_double::logsContaining(row.refusalLogged);
        ASSERT_FALSE(lines.empty()) << "no log line holds " << row.refusalLogged;
        EXPECT_EQ(lines.front().level, -1);
    }
    if (row.tableRead) {
        EXPECT_EQ(host_double::partitionReads().empty(), !*row.tableRead)
            << "partition reader calls: " << host_double::partitionReads().size();
    }
}

}  // namespace bad_input
