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
    constexpr Entry e = Entry::getMPIODevices;
    const std::vector<Row> arguments = {
        row(e).nulls(kNullCount).refusesNull("count"),
        row(e).nulls(kNullArray).refusesNull("mpioDevices"),
    };
    // Without room for an entry, only the number of devices is answered.
    const std::vector<Row> noRoom =
        joined({withEachCapacity(row(e).nulls(kNullArray).gives(2).count(0), {0, -1}),
                withEachCapacity(row(e).gives(2).count(0), {0, -1, INT_MIN})});
    const std::vector<Row> withRoom = {
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
    return joined({nullOutputRows(row(e), -1), arguments, noRoom, withRoom});
}

std::vector<Row> underlyingRows() {
    constexpr Entry e = Entry::getUnderlyingDevices;
    const std::vector<Row> arguments = {
        row(e).with(Name::Null).refusesNull("mpioDevice"),
        row(e).with(Name::Missing).nulls(kNullCount).refusesNull("count"),
        row(e).with(Name::Missing).nulls(kNullArray).refusesNull("underlyingDevices"),
    };
    // The two paths beneath sddlmab, found by asking dlnkmgr about sddlmab.
    auto bothPaths = [](Name name) {
        return row(e).with(name).gives(0).count(2).fills(2).runs(Runs::HdevQueryFor, "sddlmab");
    };
    // On device nodes (root): the HDLM disk and names that resolve to it. Without room for an
    // entry, only the number of paths is answered.
    const std::vector<Row> noRoom =
        withEachCapacity(row(e).with(Name::HdlmDisk).gives(2).count(0), {0, -1, INT_MIN});
    const std::vector<Row> onNodes = {
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
        bothPaths(Name::HdlmPartition).nulls(kNullContext),
        bothPaths(Name::ShellNamedLinkToHdlmDisk),
        bothPaths(Name::ShellTextAfterNewline),
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
        bothPaths(Name::LongPathToHdlmPartition),
        row(e)
            .with(Name::CharDeviceWithHdlmNumber)
            .gives(-6)
            .runs(Runs::Nothing)
            .note("only a block node names an HDLM device"),
    };
    return joined({nullOutputRows(row(e).with(Name::Missing), -1), arguments,
                   withEachHostilePath(row(e).gives(-6).runs(Runs::InventoryAtMost)), noRoom,
                   onNodes});
}

}  // namespace

std::vector<Row> listRows() {
    return joined({mpioDevicesRows(), underlyingRows()});
}

}  // namespace bad_input
