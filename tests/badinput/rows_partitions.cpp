// isPartitionDevice and getPartitionDevices. Both stat the host's text unchanged, so the errno
// of each hostile name shows in their error outputs.
#include <cerrno>
#include <climits>
#include <string>

#include "bad_input_row.h"
#include "hostile_paths.h"

namespace bad_input {
namespace {

// The stat failure a name meets, as errorCode and errorMessage show it.
RowBuilder statFails(RowBuilder call, int error) {
    return call.code(error).message("Stat {name} failed:" + std::to_string(error));
}

std::vector<Row> isPartitionRows() {
    constexpr Entry e = Entry::isPartitionDevice;
    const std::vector<Row> arguments = {
        row(e).with(Name::Null).gives(0).code(EINVAL).message("Invalid argument: device is null"),
        row(e).with(Name::Null).nulls(kNullErrorCode | kNullErrorMessage).gives(0),
        row(e).with(Name::Missing).nulls(kNullErrorCode | kNullErrorMessage).gives(0),
        row(e).with(Name::Missing).nulls(kNullErrorCode).gives(0).message("Stat {name} failed:2"),
        row(e).with(Name::Missing).nulls(kNullErrorMessage).gives(0).code(ENOENT),
        statFails(row(e).with(Name::Missing).nulls(kNullParent | kNullContext).gives(0), ENOENT),
    };
    const std::vector<Row> hostile = forEachHostilePath([](const HostilePath& path) {
        const RowBuilder call = row(e).with(path.name).gives(0).runs(Runs::Nothing);
        return path.statErrno == 0 ? call : statFails(call, path.statErrno);
    });
    const std::vector<Row> onNodes = {
        row(e).with(Name::HdlmPartition).gives(1).parent("/dev/sddlmab"),
        row(e).with(Name::HdlmPartition).nulls(kNullParent).gives(1),
        row(e).with(Name::HdlmPartition).script(Script::NoInit).gives(0),
        row(e).with(Name::HdlmDisk).gives(0),
        row(e).with(Name::ShellNamedLinkToHdlmDisk).gives(0),
        statFails(row(e).with(Name::ShellTextAfterNewline).gives(0), ENOENT)
            .note("stat sees the whole text"),
        row(e).with(Name::CharDeviceWithHdlmNumber).gives(0),
        row(e)
            .with(Name::LongPathToHdlmPartition)
            .gives(0)
            .parent("{name}")
            .code(ENOENT)
            .message("pdev stat failed {name}(parent:<cut parent>) :2")
            .logsRefusal("pdev stat failed")
            .note("the parent's path is cut to 1023 characters and then names no node"),
        row(e).with(Name::LongPathToHdlmPartition).nulls(kNullParent).gives(1),
    };
    return joined({arguments, hostile, onNodes});
}

std::vector<Row> partitionDevicesRows() {
    constexpr Entry e = Entry::getPartitionDevices;
    const std::vector<Row> arguments = {
        row(e)
            .with(Name::Null)
            .gives(-1)
            .count(0)
            .code(-1)
            .message("Invalid argument: device is null")
            .readsTable(false),
        row(e)
            .with(Name::Missing)
            .nulls(kNullCount)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: count is null")
            .readsTable(false),
        row(e)
            .with(Name::Missing)
            .nulls(kNullArray)
            .gives(-1)
            .count(0)
            .code(-1)
            .message("Invalid argument: partInfo is null")
            .readsTable(false),
        row(e)
            .with(Name::Missing)
            .nulls(kNullErrorCode | kNullErrorMessage)
            .gives(-1)
            .count(0)
            .readsTable(false),
        row(e).with(Name::Missing).nulls(kNullErrorCode).gives(-1).count(0).message("{name}"),
        row(e).with(Name::Missing).nulls(kNullErrorMessage).gives(-1).count(0).code(-1),
    };
    // The disk refused before its table is read: -1, no partition, the name as the message.
    auto refused = [](Name name) {
        return row(e).with(name).gives(-1).count(0).code(-1).message("{name}").readsTable(false);
    };
    const std::vector<Row> hostile =
        forEachHostilePath([&refused](const HostilePath& path) { return refused(path.name); });
    const std::vector<Row> onNodes = {
        row(e).with(Name::HdlmDisk).capacity(0).gives(2).count(2).readsTable(true),
        row(e).with(Name::HdlmDisk).capacity(-1).gives(2).count(2),
        row(e).with(Name::HdlmDisk).capacity(INT_MIN).gives(2).count(2),
        row(e)
            .with(Name::HdlmDisk)
            .array(2)
            .capacity(INT_MAX)
            .gives(2)
            .count(2)
            .fills(2)
            .entries({"/dev/sddlmab1", "/dev/sddlmab2"})
            .note("the capacity is trusted: only as many records as there are partitions"),
        row(e).with(Name::HdlmDisk).nulls(kNullArray).capacity(0).gives(2).count(2),
        row(e)
            .with(Name::HdlmDisk)
            .array(3)
            .script(Script::ManySlices)
            .gives(40)
            .count(40)
            .fills(3),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::SliceMinorIntMax)
            .gives(1)
            .count(1)
            .fills(1)
            .entries({"/dev/sddlmab2147483647"})
            .firstDevMinor(0u)
            .note("a partition above 15 has no node of its own: device number 0:0"),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::ReaderFails)
            .gives(-EIO)
            .count(0)
            .code(-EIO)
            .message("{name}")
            .note("the reader's list is ignored"),
        refused(Name::HdlmDisk).script(Script::NoInit),
        refused(Name::HdlmPartition),
        row(e)
            .with(Name::ShellNamedLinkToHdlmDisk)
            .nulls(kNullContext)
            .gives(2)
            .count(2)
            .fills(2)
            .entries({"{name}1", "{name}2"}),
        refused(Name::CharDeviceWithHdlmNumber).note("a character node is never opened as a disk"),
        row(e)
            .with(Name::LongPathToHdlmDisk)
            .gives(2)
            .count(2)
            .fills(2)
            .entries({"{name}1", "{name}2"})
            .note("devName holds the first 1022 characters"),
        refused(Name::LongPathToHdlmPartition),
    };
    return joined({arguments, hostile, onNodes});
}

}  // namespace

std::vector<Row> partitionRows() {
    return joined({isPartitionRows(), partitionDevicesRows()});
}

}  // namespace bad_input
