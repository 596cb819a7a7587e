// getMPIODevices and getUnderlyingDevices: null pointers, capacities, hostile names and hostile
// command output. The scripted dlnkmgr lists two devices, and two paths beneath sddlmab.
#include <cerrno>
#include <climits>
#include <string>

#include "bad_input_row.h"
#include "hostile_paths.h"

namespace bad_input {
namespace {

std::vector<Row> mpioDevicesRows() {
    const Entry e = Entry::getMPIODevices;
    return {
        row(e).nulls(kNullErrorCode).gives(-1).runs(Runs::Nothing),
        row(e).nulls(kNullErrorMessage).gives(-1).code(-1).runs(Runs::Nothing),
        row(e)
            .nulls(kNullCount)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: count is null")
            .runs(Runs::Nothing),
        row(e)
            .nulls(kNullArray)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: mpioDevices is null")
            .runs(Runs::Nothing),
        row(e).nulls(kNullArray).capacity(0).gives(2).count(0),
        row(e).nulls(kNullArray).capacity(-1).gives(2).count(0),
        row(e).capacity(0).gives(2).count(0),
        row(e).capacity(-1).gives(2).count(0),
        row(e).capacity(INT_MIN).gives(2).count(0),
        row(e)
            .capacity(INT_MAX)
            .gives(0)
            .count(2)
            .fills(2)
            .entries({"/dev/sddlmab", "/dev/sddlmac"})
            .note("the capacity is trusted: only as many entries as there are devices are written"),
        row(e).array(2).capacity(INT_MAX).gives(0).count(2).fills(2),
        row(e)
            .array(2)
            .nulls(kNullSecondEntry)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: mpioDevices[1] is null")
            .fills(1)
            .note("entries before the null one may already hold devices"),
        row(e).nulls(kNullContext).gives(0).count(2).fills(2),
        row(e)
            .script(Script::LongDeviceLine)
            .gives(0)
            .count(1)
            .fills(1)
            .entries({"/dev/" + std::string(1018, 'd')}),
        row(e).script(Script::DeviceLineWithNul).gives(0).count(1).fills(1).entries({"/dev/sddl"}),
        row(e).script(Script::LongErrorText).gives(-1).code(1).message(std::string(5000, 'e')),
    };
}

std::vector<Row> underlyingRows() {
    const Entry e = Entry::getUnderlyingDevices;
    std::vector<Row> rows = {
        row(e).with(Name::Missing).nulls(kNullErrorCode).gives(-1).runs(Runs::Nothing),
        row(e).with(Name::Missing).nulls(kNullErrorMessage).gives(-1).code(-1).runs(Runs::Nothing),
        row(e)
            .with(Name::Null)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: mpioDevice is null")
            .runs(Runs::Nothing),
        row(e)
            .with(Name::Missing)
            .nulls(kNullCount)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: count is null")
            .runs(Runs::Nothing),
        row(e)
            .with(Name::Missing)
            .nulls(kNullArray)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: underlyingDevices is null")
            .runs(Runs::Nothing),
    };
    for (const HostilePath& path : hostilePaths())
        rows.push_back(row(e).with(path.name).gives(-6).runs(Runs::InventoryAtMost));

    // On device nodes (root): the HDLM disk and names that resolve to it.
    const std::vector<Row> onNodes = {
        row(e).with(Name::HdlmDisk).capacity(0).gives(2).count(0),
        row(e).with(Name::HdlmDisk).capacity(-1).gives(2).count(0),
        row(e).with(Name::HdlmDisk).capacity(INT_MIN).gives(2).count(0),
        row(e)
            .with(Name::HdlmDisk)
            .array(2)
            .capacity(INT_MAX)
            .gives(0)
            .count(2)
            .fills(2)
            .entries({"sdc", "sdd"}),
        row(e).with(Name::HdlmDisk).nulls(kNullArray).capacity(0).gives(2).count(0),
        row(e)
            .with(Name::HdlmDisk)
            .array(2)
            .nulls(kNullSecondEntry)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: underlyingDevices[1] is null")
            .fills(1),
        row(e)
            .with(Name::HdlmPartition)
            .nulls(kNullContext)
            .gives(0)
            .count(2)
            .fills(2)
            .runs(Runs::HdevQueryFor, "sddlmab"),
        row(e)
            .with(Name::ShellNamedLinkToHdlmDisk)
            .gives(0)
            .count(2)
            .fills(2)
            .runs(Runs::HdevQueryFor, "sddlmab"),
        row(e)
            .with(Name::ShellTextAfterNewline)
            .gives(0)
            .count(2)
            .fills(2)
            .runs(Runs::HdevQueryFor, "sddlmab"),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::InventoryShellName)
            .gives(-6)
            .code(ENOENT)
            .message("Stat /dev/sddlmab;touch${IFS}canary failed:2")
            .runs(Runs::NoHdevQuery)
            .logsRefusal("Refusing device name [sddlmab;touch${IFS}canary]")
            .note("the partition test's report of the name's missing node stays"),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::LongPathLine)
            .gives(0)
            .count(1)
            .fills(1)
            .entries({"sd" + std::string(1021, 'p')}),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::LongErrorText)
            .gives(-1)
            .code(1)
            .message(std::string(5000, 'e')),
        row(e)
            .with(Name::LongPathToHdlmPartition)
            .gives(0)
            .count(2)
            .fills(2)
            .runs(Runs::HdevQueryFor, "sddlmab"),
        row(e)
            .with(Name::CharDeviceWithHdlmNumber)
            .gives(0)
            .count(2)
            .fills(2)
            .runs(Runs::HdevQueryFor, "sddlmab")
            .note("known: the lookup goes by device number alone, so a character node sharing "
                  "the HDLM disk's number is taken for it"),
    };
    rows.insert(rows.end(), onNodes.begin(), onNodes.end());
    return rows;
}

}  // namespace

std::vector<Row> listRows() {
    std::vector<Row> rows = mpioDevicesRows();
    const std::vector<Row> more = underlyingRows();
    rows.insert(rows.end(), more.begin(), more.end());
    return rows;
}

}  // namespace bad_input
