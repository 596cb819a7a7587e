#include "text_renderer.h"

#include "call_lines.h"
#include "report_tree.h"
#include "text_format.h"
#include "text_table.h"

namespace probe {

namespace {

std::string itemLines(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) out += "  " + visible(item) + "\n";
    return out;
}

std::string partitionTable(const std::vector<PartitionRecord>& partitions) {
    if (partitions.empty()) return "";
    using A = TextTable::Align;
    TextTable table({A::Left, A::Right, A::Right, A::Right, A::Right, A::Right, A::Right});
    table.addRow({"NAME", "NR", "MAJ:MIN", "START", "SECTORS", "SECTOR", "SIZE"});
    for (const auto& p : partitions) {
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
    std::string operator()(const CallOutcome& call) const {
        lines.add(call);
        return "";
    }
    std::string operator()(const IsMpioAnswer& a) const {
        lines.add(a.call, a.call.failed ? ""
                          : a.answer    ? "yes: a multipath device"
                                        : "no: not a multipath device");
        return "";
    }
    std::string operator()(const ListOutcome& l) const {
        lines.addAttempts(l.call, l.attempts, l.complete, l.note, "entries");
        return itemLines(l.items);
    }
    std::string operator()(const PartitionCheck& p) const {
        std::string note;
        if (!p.call.failed)
            note = p.answer ? "yes: a partition of " + visible(p.parent) : "no: not a partition";
        lines.add(p.call, note);
        return "";
    }
    std::string operator()(const PartitionsOutcome& p) const {
        lines.addAttempts(p.call, p.attempts, p.complete, p.note, "partitions");
        return partitionTable(p.partitions);
    }
    std::string operator()(const ReportOutcome& r) const {
        lines.add(r.vendor);
        lines.addAttempts(r.devices.call, r.devices.attempts, r.devices.complete, r.devices.note,
                          "entries");
        return "\n" + renderReportTree(r);
    }
};

}  // namespace

std::string renderText(const CommandResult& result) {
    CallLines lines;
    if (result.init) {
        lines.add(*result.init,
                  result.init->failed && result.command != "init"
                      ? "the multipath driver is not usable here; nothing else was called"
                      : "");
    } else {
        lines.addPlain("init()", "skipped (--no-init)");
    }
    std::string below = std::visit(BodyText{lines}, result.body);
    return "plug-in: " + result.pluginPath + "\n" + lines.render() + below;
}

}  // namespace probe
