// isMPIODevice and the lookup helpers behind it: FindMpDeviceName, listMPIODevices and
// compareDevMajor.
#include <climits>
#include <string>

#include "bad_input_row.h"
#include "hostile_paths.h"

namespace bad_input {
namespace {

std::vector<Row> isMpioRows() {
    const Entry e = Entry::isMPIODevice;
    std::vector<Row> rows = {
        row(e).with(Name::Missing).nulls(kNullErrorCode).gives(-1).runs(Runs::Nothing),
        row(e).with(Name::Missing).nulls(kNullErrorMessage).gives(-1).code(-1).runs(Runs::Nothing),
        row(e)
            .with(Name::Null)
            .gives(-1)
            .code(-1)
            .message("Invalid argument: device is null")
            .runs(Runs::Nothing),
    };
    for (const HostilePath& path : hostilePaths())
        rows.push_back(row(e).with(path.name).gives(0).runs(Runs::InventoryAtMost));
    const std::vector<Row> onNodes = {
        row(e).with(Name::HdlmDisk).nulls(kNullContext).gives(1),
        row(e).with(Name::ShellNamedLinkToHdlmDisk).gives(1),
        row(e)
            .with(Name::ShellTextAfterNewline)
            .gives(1)
            .note("the name is cut at its last newline before the lookup"),
        row(e)
            .with(Name::CharDeviceWithHdlmNumber)
            .gives(1)
            .note("known: the lookup goes by device number alone"),
        row(e).with(Name::LongPathToHdlmDisk).gives(1),
        row(e).with(Name::HdlmDisk).script(Script::InventoryFails).gives(0),
        row(e).with(Name::HdlmDisk).script(Script::InventoryEmpty).gives(0),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::InventoryMalformed)
            .gives(1)
            .logsRefusal("Invalid token count"),
    };
    rows.insert(rows.end(), onNodes.begin(), onNodes.end());
    return rows;
}

std::vector<Row> findRows() {
    const Entry e = Entry::FindMpDeviceName;
    std::vector<Row> rows = {row(e).with(Name::Null).gives(0).nameOut("").runs(Runs::Nothing)};
    for (const HostilePath& path : hostilePaths())
        rows.push_back(
            row(e).with(path.name).gives(0).nameOut("{name}").runs(Runs::InventoryAtMost));
    const std::vector<Row> onNodes = {
        row(e).with(Name::ShellNamedLinkToHdlmDisk).gives(1).nameOut("sddlmab"),
        row(e).with(Name::ShellTextAfterNewline).gives(1).nameOut("sddlmab"),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::InventoryShellName)
            .gives(1)
            .nameOut("sddlmab;touch${IFS}canary")
            .note(
                "the inventory's name is handed on as it stands; getUnderlyingDevices refuses it"),
    };
    rows.insert(rows.end(), onNodes.begin(), onNodes.end());
    return rows;
}

std::vector<Row> inventoryRows() {
    const Entry e = Entry::listMPIODevices;
    return {
        row(e)
            .gives(0)
            .map({{"0-0", "stale"}, {"253-16", "sddlmab"}, {"253-17", "sddlmab1"}})
            .note("entries already in the caller's map are kept"),
        row(e)
            .script(Script::InventoryMalformed)
            .gives(0)
            .map({{"0-0", "stale"}, {"253-16", "sddlmab"}})
            .logsRefusal("Invalid token count"),
        row(e)
            .script(Script::InventoryFails)
            .gives(-1)
            .map({{"0-0", "stale"}})
            .logsRefusal("Failed to execute command"),
        row(e)
            .script(Script::InventoryEmpty)
            .gives(-1)
            .map({{"0-0", "stale"}})
            .logsRefusal("Failed to execute command"),
    };
}

std::vector<Row> majorRows() {
    const Entry e = Entry::compareDevMajor;
    return {
        row(e).number(INT_MIN).gives(0), row(e).number(-1).gives(0),
        row(e).number(0).gives(0),       row(e).number(INT_MAX).gives(0),
        row(e).number(253).gives(1),     row(e).number(253).script(Script::NoInit).gives(0),
    };
}

}  // namespace

std::vector<Row> lookupRows() {
    std::vector<Row> rows;
    for (auto part : {isMpioRows, findRows, inventoryRows, majorRows}) {
        const std::vector<Row> some = part();
        rows.insert(rows.end(), some.begin(), some.end());
    }
    return rows;
}

}  // namespace bad_input
