// The human-readable output: one aligned line per entry-point call, then what it listed; the
// report as a tree in the manner of lsblk.
#include <algorithm>
#include <cstdio>

#include "probe.h"

namespace probe {

std::string humanSize(uint64_t bytes) {
    static const char units[] = {'B', 'K', 'M', 'G', 'T', 'P', 'E'};
    if (bytes < 1024) return std::to_string(bytes) + "B";
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < sizeof units) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string shown = text;
    // 1023.96K rounds to 1024.0: say 1M instead.
    if (shown == "1024.0" && unit + 1 < sizeof units) {
        shown = "1.0";
        ++unit;
    }
    if (shown.size() > 2 && shown.compare(shown.size() - 2, 2, ".0") == 0)
        shown.resize(shown.size() - 2);
    return shown + units[unit];
}

namespace {

// --- control characters made visible ----------------------------------------------------------

std::string escape(const std::string& text, bool inQuotes) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else if (inQuotes && (c == '"' || c == '\\')) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

// The plug-in's text with control characters made visible (\n, \r, \t, \xNN), so a stray newline
// or carriage return in a name shows instead of breaking the layout.
std::string visible(const std::string& text) {
    return escape(text, false);
}

// visible() in double quotes (also escaping quotes and backslashes).
std::string quoted(const std::string& text) {
    return "\"" + escape(text, true) + "\"";
}

// --- columns padded to a common width ---------------------------------------------------------

// Widths count characters, not bytes, so the tree's box-drawing glyphs line up.
class TextTable {
public:
    enum class Align { Left, Right };

    explicit TextTable(std::vector<Align> aligns) : aligns_(std::move(aligns)) {}

    void addRow(std::vector<std::string> cells);
    // Rows joined by newlines, each ending in one; no trailing blanks.
    std::string render() const;
    bool empty() const { return rows_.empty(); }

private:
    std::vector<Align> aligns_;
    std::vector<std::vector<std::string>> rows_;
};

// Number of characters in UTF-8 text.
size_t displayWidth(const std::string& text) {
    // Continuation bytes (10xxxxxx) do not start a character.
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void TextTable::addRow(std::vector<std::string> cells) {
    rows_.push_back(std::move(cells));
}

std::string TextTable::render() const {
    std::vector<size_t> widths;
    for (const auto& row : rows_) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
    std::string out;
    for (const auto& row : rows_) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string& cell = row[i];
            std::string pad(widths[i] - displayWidth(cell), ' ');
            bool right = i < aligns_.size() && aligns_[i] == Align::Right;
            if (i > 0) line += "  ";
            line += right ? pad + cell : cell + pad;
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    return out;
}

// --- one line per entry-point call ------------------------------------------------------------

// The call with its arguments, its result, and for a failure the error outputs it wrote; results
// aligned.
class CallLines {
public:
    CallLines() : table_({TextTable::Align::Left, TextTable::Align::Left}) {}

    void add(const CallOutcome& outcome, const std::string& note = "");
    void add(const Call& call, const plugin_calls::Answer& answer, const std::string& note);
    // One line per pass of a list call (a ListAnswer or a PartitionsAnswer).
    template <typename ListAnswerT>
    void addAttempts(const Call& call, const ListAnswerT& answer, const std::string& unit);
    void addPlain(const std::string& label, const std::string& value);
    std::string render() const { return table_.render(); }

private:
    TextTable table_;
};

// "getUnderlyingDevices(/dev/sddlmaa)", or with a capacity "(…, capacity=64)".
std::string callLabel(const Call& call, int capacity = -1) {
    std::string args = call.device.empty() ? "" : visible(call.device);
    if (capacity >= 0)
        args += (args.empty() ? "" : ", ") + std::string("capacity=") + std::to_string(capacity);
    return call.function + "(" + args + ")";
}

// "errorCode=2 errorMessage="..."" for a failed call (or one that wrote its error outputs), with
// what a well-known result means.
std::string errorOutputsText(const Call& call, const plugin_calls::Answer& answer) {
    std::string text = "errorCode=" + std::to_string(shownCode(answer.error)) +
                       " errorMessage=" + quoted(shownMessage(answer.error));
    // The one result the interface gives a meaning of its own; the others are command statuses.
    if (call.function == "getUnderlyingDevices" && answer.result == -6) {
        text += " (not a multipath device)";
    }
    return text;
}

// "= 0", or for init and getVendorName the text they returned.
std::string resultText(const Call& call, const plugin_calls::Answer& answer,
                       const std::optional<std::string>& text) {
    if (call.returnsText) return text ? "= " + quoted(*text) : "= null";
    return "= " + std::to_string(answer.result);
}

// FAILED with the error outputs; for a call that succeeded yet wrote them, the outputs alone.
std::string failureText(const Call& call, const plugin_calls::Answer& answer) {
    if (call.failed) return "FAILED " + errorOutputsText(call, answer);
    if (errorsShown(answer.error)) return "(wrote " + errorOutputsText(call, answer) + ")";
    return "";
}

std::string joined(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "  " + b;
}

void CallLines::add(const CallOutcome& outcome, const std::string& note) {
    const Call& call = outcome.call;
    table_.addRow({callLabel(call), joined(resultText(call, outcome.answer, outcome.answer.text),
                                           joined(failureText(call, outcome.answer), note))});
}

void CallLines::add(const Call& call, const plugin_calls::Answer& answer, const std::string& note) {
    table_.addRow({callLabel(call), joined(resultText(call, answer, std::nullopt),
                                           joined(failureText(call, answer), note))});
}

template <typename ListAnswerT>
void CallLines::addAttempts(const Call& call, const ListAnswerT& answer, const std::string& unit) {
    const std::vector<plugin_calls::Attempt>& attempts = answer.attempts;
    for (size_t i = 0; i < attempts.size(); ++i) {
        const plugin_calls::Attempt& a = attempts[i];
        bool isLast = i + 1 == attempts.size();
        std::string detail;
        if (isLast && call.failed) {
            detail = failureText(call, answer);
        } else {
            detail = "count=" + std::to_string(a.count);
            if (!isLast) {
                detail += ", more " + unit + " than the array held: retrying with capacity " +
                          std::to_string(attempts[i + 1].capacity);
            } else if (!answer.complete) {
                detail += ", INCOMPLETE: " + answer.note;
            }
            detail = joined(detail, isLast ? failureText(call, answer) : "");
        }
        table_.addRow(
            {callLabel(call, a.capacity), joined("= " + std::to_string(a.result), detail)});
    }
}

void CallLines::addPlain(const std::string& label, const std::string& value) {
    table_.addRow({label, value});
}

// --- the report's device tree -----------------------------------------------------------------

using Row = std::vector<std::string>;

struct Tally {
    size_t paths = 0;
    size_t partitions = 0;
    size_t problems = 0;
};

// "getUnderlyingDevices=0", or with a retry "getUnderlyingDevices=70 then 0 (capacity 70)".
std::string attemptsText(const std::string& function,
                         const std::vector<plugin_calls::Attempt>& attempts) {
    std::string text = function + "=";
    for (size_t i = 0; i < attempts.size(); ++i) {
        if (i > 0) text += " then ";
        text += std::to_string(attempts[i].result);
        if (i > 0) text += " (capacity " + std::to_string(attempts[i].capacity) + ")";
    }
    return text;
}

// Rows that stand for a list the tree cannot show in full: a failed call or an incomplete list.
template <typename ListAnswerT>
void addListProblem(std::vector<Row>& children, const std::string& what, const Call& call,
                    const ListAnswerT& answer, Tally& tally) {
    if (call.failed) {
        children.push_back({"(" + what + ")", "error", "", "", "", "",
                            callLabel(call) + " FAILED " + errorOutputsText(call, answer)});
        ++tally.problems;
    } else if (!answer.complete) {
        children.push_back(
            {"(" + what + ")", "note", "", "", "", "", "INCOMPLETE: " + answer.note});
    }
}

std::string checkText(const CheckOutcome& check, Tally& tally) {
    std::string text = "isPartitionDevice=" + std::to_string(check.answer.result);
    if (check.call.failed) {
        ++tally.problems;
        return text + " FAILED " + errorOutputsText(check.call, check.answer);
    }
    if (!check.yes()) {
        ++tally.problems;
        return text + " NOT A PARTITION";
    }
    text += " parent=" + visible(check.parent());
    if (check.parentMismatch()) {
        ++tally.problems;
        text += " MISMATCH: listed under " + visible(check.expectedParent);
    }
    return text;
}

void addDisk(TextTable& table, const DiskReport& disk, Tally& tally) {
    std::vector<Row> children;
    for (const auto& path : disk.paths.answer.items)
        children.push_back({visible(path), "path", "", "", "", "", ""});
    addListProblem(children, "paths", disk.paths.call, disk.paths.answer, tally);
    for (const auto& shown : disk.partitions.partitions) {
        const plugin_calls::PartitionRecord& p = shown.record;
        children.push_back(
            {visible(p.name), "part", std::to_string(p.major) + ":" + std::to_string(p.minor),
             std::to_string(p.start), std::to_string(p.sectors), humanSize(p.bytes()),
             shown.check ? checkText(*shown.check, tally) : ""});
    }
    addListProblem(children, "partitions", disk.partitions.call, disk.partitions.answer, tally);
    tally.paths += disk.paths.answer.items.size();
    tally.partitions += disk.partitions.partitions.size();

    table.addRow({visible(disk.device), "disk", "", "", "", "",
                  attemptsText("getUnderlyingDevices", disk.paths.answer.attempts) + " " +
                      attemptsText("getPartitionDevices", disk.partitions.answer.attempts)});
    for (size_t i = 0; i < children.size(); ++i) {
        children[i][0] = (i + 1 == children.size() ? "└─" : "├─") + children[i][0];
        table.addRow(std::move(children[i]));
    }
}

std::string renderReportTree(const ReportOutcome& report) {
    using A = TextTable::Align;
    TextTable table({A::Left, A::Left, A::Right, A::Right, A::Right, A::Right, A::Left});
    table.addRow({"NAME", "TYPE", "MAJ:MIN", "START", "SECTORS", "SIZE", "CALLS"});
    Tally tally;
    for (const auto& disk : report.disks) addDisk(table, disk, tally);
    if (report.vendor.call.failed || report.devices.call.failed) ++tally.problems;

    std::string summary = std::to_string(report.disks.size()) + " devices, " +
                          std::to_string(tally.paths) + " paths, " +
                          std::to_string(tally.partitions) + " partitions; ";
    summary += tally.problems == 0
                   ? "every call succeeded"
                   : std::to_string(tally.problems) +
                         " problem(s), marked FAILED, NOT A PARTITION or MISMATCH above";
    // No devices: a header over nothing says less than the summary alone.
    std::string tree = report.disks.empty() ? "" : table.render() + "\n";
    return tree + summary + "\n";
}

// --- each command's lines ---------------------------------------------------------------------

std::string itemLines(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) out += "  " + visible(item) + "\n";
    return out;
}

std::string partitionTable(const std::vector<ShownPartition>& partitions) {
    if (partitions.empty()) return "";
    using A = TextTable::Align;
    TextTable table({A::Left, A::Right, A::Right, A::Right, A::Right, A::Right, A::Right});
    table.addRow({"NAME", "NR", "MAJ:MIN", "START", "SECTORS", "SECTOR", "SIZE"});
    for (const auto& shown : partitions) {
        const plugin_calls::PartitionRecord& p = shown.record;
        table.addRow({visible(p.name), std::to_string(p.number),
                      std::to_string(p.major) + ":" + std::to_string(p.minor),
                      std::to_string(p.start), std::to_string(p.sectors),
                      std::to_string(p.sectorSize), humanSize(p.bytes())});
    }
    return "\n" + table.render();
}

// Adds the command's call lines and returns what follows them.
struct BodyText {
    CallLines& lines;

    std::string operator()(const NotRun&) const { return ""; }
    std::string operator()(const CallOutcome& outcome) const {
        lines.add(outcome);
        return "";
    }
    std::string operator()(const IsMpioOutcome& a) const {
        lines.add(a.call, a.answer,
                  a.call.failed ? ""
                  : a.yes()     ? "yes: a multipath device"
                                : "no: not a multipath device");
        return "";
    }
    std::string operator()(const ListOutcome& l) const {
        lines.addAttempts(l.call, l.answer, "entries");
        return itemLines(l.answer.items);
    }
    std::string operator()(const CheckOutcome& p) const {
        std::string note;
        if (!p.call.failed)
            note = p.yes() ? "yes: a partition of " + visible(p.parent()) : "no: not a partition";
        lines.add(p.call, p.answer, note);
        return "";
    }
    std::string operator()(const PartitionsOutcome& p) const {
        lines.addAttempts(p.call, p.answer, "partitions");
        return partitionTable(p.partitions);
    }
    std::string operator()(const ReportOutcome& r) const {
        lines.add(r.vendor);
        lines.addAttempts(r.devices.call, r.devices.answer, "entries");
        return "\n" + renderReportTree(r);
    }
};

}  // namespace

std::string renderText(const CommandResult& result) {
    CallLines lines;
    if (result.init) {
        lines.add(*result.init,
                  result.init->call.failed && result.command != "init"
                      ? "the multipath driver is not usable here; nothing else was called"
                      : "");
    } else {
        lines.addPlain("init()", "skipped (--no-init)");
    }
    std::string below = std::visit(BodyText{lines}, result.body);
    return "plug-in: " + result.pluginPath + "\n" + lines.render() + below;
}

}  // namespace probe
