// isPartitionDevice and getPartitionDevices. Both stat the host's text unchanged, so the errno
// of each hostile name shows in their error outputs.
#include <cerrno>
#include <climits>
#include <string>

#include "bad_input_row.h"
#include "hostile_paths.h"

namespace bad_input {
namespace {

std::vector<Row> isPartitionRows() {
    const Entry e = Entry::isPartitionDevice;
    std::vector<Row> rows = {
        row(e).with(Name::Null).gives(0).code(EINVAL).message("Invalid argument: device is null"),
        row(e).with(Name::Null).nulls(kNullErrorCode | kNullErrorMessage).gives(0),
        row(e).with(Name::Missing).nulls(kNullErrorCode | kNullErrorMessage).gives(0),
        row(e).with(Name::Missing).nulls(kNullErrorCode).gives(0).message("Stat {name} failed:2"),
        row(e).with(Name::Missing).nulls(kNullErrorMessage).gives(0).code(ENOENT),
        row(e)
            .with(Name::Missing)
            .nulls(kNullParent | kNullContext)
            .gives(0)
            .code(ENOENT)
            .message("Stat {name} failed:2"),
    };
    for (const HostilePath& path : hostilePaths()) {
        if (path.statErrno == 0) {
            rows.push_back(row(e).with(path.name).gives(0).runs(Runs::Nothing));
        } else {
            rows.push_back(row(e)
                               .with(path.name)
                               .gives(0)
                               .code(path.statErrno)
                               .message("Stat {name} failed:" + std::to_string(path.statErrno))
                               .runs(Runs::Nothing));
        }
    }
    const std::vector<Row> onNodes = {
        row(e).with(Name::HdlmPartition).gives(1).parent("/dev/sddlmab"),
        row(e).with(Name::HdlmPartition).nulls(kNullParent).gives(1),
        row(e).with(Name::HdlmPartition).script(Script::NoInit).gives(0),
        row(e).with(Name::HdlmDisk).gives(0),
        row(e).with(Name::ShellNamedLinkToHdlmDisk).gives(0),
        row(e)
            .with(Name::ShellTextAfterNewline)
            .gives(0)
            .code(ENOENT)
            .message("Stat {name} failed:2")
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
    rows.insert(rows.end(), onNodes.begin(), onNodes.end());
    return rows;
}

std::vector<Row> partitionDevicesRows() {
    const Entry e = Entry::getPartitionDevices;
    std::vector<Row> rows = {
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
    for (const HostilePath& path : hostilePaths())
        rows.push_back(
            row(e).with(path.name).gives(-1).count(0).code(-1).message("{name}").readsTable(false));

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
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::NoInit)
            .gives(-1)
            .count(0)
            .code(-1)
            .message("{name}")
            .readsTable(false),
        row(e)
            .with(Name::HdlmPartition)
            .gives(-1)
            .count(0)
            .code(-1)
            .message("{name}")
            .readsTable(false),
        row(e)
            .with(Name::ShellNamedLinkToHdlmDisk)
            .nulls(kNullContext)
            .gives(2)
            .count(2)
            .fills(2)
            .entries({"{name}1", "{name}2"}),
        row(e)
            .with(Name::CharDeviceWithHdlmNumber)
            .gives(-1)
            .count(0)
            .code(-1)
            .message("{name}")
            .readsTable(false)
            .note("a character node is never opened as a disk"),
        row(e)
            .with(Name::LongPathToHdlmDisk)
            .gives(2)
            .count(2)
            .fills(2)
            .entries({"{name}1", "{name}2"})
            .note("devName holds the first 1022 characters"),
        row(e)
            .with(Name::LongPathToHdlmPartition)
            .gives(-1)
            .count(0)
            .code(-1)
            .message("{name}")
            .readsTable(false),
    };
    rows.insert(rows.end(), onNodes.begin(), onNodes.end());
    return rows;
}

}  // namespace

std::vector<Row> partitionRows() {
    std::vector<Row> rows = isPartitionRows();
    const std::vector<Row> more = partitionDevicesRows();
    rows.insert(rows.end(), more.begin(), more.end());
    return rows;
}

}  // namespace bad_input
