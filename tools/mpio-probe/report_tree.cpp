#include "report_tree.h"

#include "call_lines.h"
#include "text_format.h"
#include "text_table.h"

namespace probe {

namespace {

using Row = std::vector<std::string>;

struct Tally {
    size_t paths = 0;
    size_t partitions = 0;
    size_t problems = 0;
};

// "getUnderlyingDevices=0", or with a retry "getUnderlyingDevices=70 then 0 (capacity 70)".
std::string attemptsText(const std::string& function, const std::vector<Attempt>& attempts) {
    std::string text = function + "=";
    for (size_t i = 0; i < attempts.size(); ++i) {
        if (i > 0) text += " then ";
        text += std::to_string(attempts[i].result);
        if (i > 0) text += " (capacity " + std::to_string(attempts[i].capacity) + ")";
    }
    return text;
}

// Rows that stand for a list the tree cannot show in full: a failed call or an incomplete list.
void addListProblem(std::vector<Row>& children, const std::string& what, const CallOutcome& call,
                    bool complete, const std::string& note, Tally& tally) {
    if (call.failed) {
        children.push_back({"(" + what + ")", "error", "", "", "", "",
                            callLabel(call) + " FAILED " + errorOutputsText(call)});
        ++tally.problems;
    } else if (!complete) {
        children.push_back({"(" + what + ")", "note", "", "", "", "", "INCOMPLETE: " + note});
    }
}

std::string checkText(const PartitionCheck& check, Tally& tally) {
    std::string text = "isPartitionDevice=" + std::to_string(check.call.result);
    if (check.call.failed) {
        ++tally.problems;
        return text + " FAILED " + errorOutputsText(check.call);
    }
    if (!check.answer) {
        ++tally.problems;
        return text + " NOT A PARTITION";
    }
    text += " parent=" + visible(check.parent);
    if (check.parentMismatch()) {
        ++tally.problems;
        text += " MISMATCH: listed under " + visible(check.expectedParent);
    }
    return text;
}

void addDisk(TextTable& table, const DiskReport& disk, Tally& tally) {
    std::vector<Row> children;
    for (const auto& path : disk.paths.items)
        children.push_back({visible(path), "path", "", "", "", "", ""});
    addListProblem(children, "paths", disk.paths.call, disk.paths.complete, disk.paths.note, tally);
    for (const auto& p : disk.partitions.partitions) {
        children.push_back({visible(p.name), "part",
                            std::to_string(p.major) + ":" + std::to_string(p.minor),
                            std::to_string(p.start), std::to_string(p.sectors),
                            humanSize(p.bytes()), p.check ? checkText(*p.check, tally) : ""});
    }
    addListProblem(children, "partitions", disk.partitions.call, disk.partitions.complete,
                   disk.partitions.note, tally);
    tally.paths += disk.paths.items.size();
    tally.partitions += disk.partitions.partitions.size();

    table.addRow({visible(disk.device), "disk", "", "", "", "",
                  attemptsText("getUnderlyingDevices", disk.paths.attempts) + " " +
                      attemptsText("getPartitionDevices", disk.partitions.attempts)});
    for (size_t i = 0; i < children.size(); ++i) {
        children[i][0] = (i + 1 == children.size() ? "└─" : "├─") + children[i][0];
        table.addRow(std::move(children[i]));
    }
}

}  // namespace

std::string renderReportTree(const ReportOutcome& report) {
    using A = TextTable::Align;
    TextTable table({A::Left, A::Left, A::Right, A::Right, A::Right, A::Right, A::Left});
    table.addRow({"NAME", "TYPE", "MAJ:MIN", "START", "SECTORS", "SIZE", "CALLS"});
    Tally tally;
    for (const auto& disk : report.disks) addDisk(table, disk, tally);
    if (report.vendor.failed || report.devices.call.failed) ++tally.problems;

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

}  // namespace probe
