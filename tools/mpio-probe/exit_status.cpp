#include "exit_status.h"

namespace probe {

namespace {

bool checkFailed(const std::optional<PartitionCheck>& check) {
    return check && (check->call.failed || !check->answer || check->parentMismatch());
}

bool reportFailed(const ReportOutcome& report) {
    if (report.vendor.failed || report.devices.call.failed) return true;
    for (const auto& disk : report.disks) {
        if (disk.paths.call.failed || disk.partitions.call.failed) return true;
        for (const auto& partition : disk.partitions.partitions) {
            if (checkFailed(partition.check)) return true;
        }
    }
    return false;
}

struct FailedVisitor {
    bool operator()(const NotRun&) const { return false; }
    bool operator()(const CallOutcome& c) const { return c.failed; }
    bool operator()(const IsMpioAnswer& a) const { return a.call.failed || !a.answer; }
    bool operator()(const ListOutcome& l) const { return l.call.failed; }
    bool operator()(const PartitionCheck& p) const { return p.call.failed || !p.answer; }
    bool operator()(const PartitionsOutcome& p) const { return p.call.failed; }
    bool operator()(const ReportOutcome& r) const { return reportFailed(r); }
};

}  // namespace

bool bodyFailed(const CommandBody& body) {
    return std::visit(FailedVisitor{}, body);
}

int exitStatusOf(const CommandResult& result) {
    if (result.init && result.init->failed) return kExitPluginSaidNo;
    return bodyFailed(result.body) ? kExitPluginSaidNo : kExitSuccess;
}

}  // namespace probe
