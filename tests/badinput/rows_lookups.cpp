// isMPIODevice and the lookup helpers behind it: FindMpDeviceName, listMPIODevices and
// compareDevMajor.
#include <climits>
#include <string>

#include "bad_input_row.h"
#include "hostile_paths.h"

namespace bad_input {
namespace {

std::vector<Row> isMpioRows() {
    constexpr Entry e = Entry::isMPIODevice;
    const std::vector<Row> onNodes = {
        row(e).with(Name::HdlmDisk).nulls(kNullContext).gives(1),
        row(e).with(Name::ShellNamedLinkToHdlmDisk).gives(1),
        row(e)
            .with(Name::ShellTextAfterNewline)
            .gives(1)
            .note("the name is cut at its last newline before the lookup"),
        row(e)
            .with(Name::CharDeviceWithHdlmNumber)
            .gives(0)
            .runs(Runs::Nothing)
            .note("only a block node names an HDLM device"),
        row(e).with(Name::LongPathToHdlmDisk).gives(1),
        row(e).with(Name::HdlmDisk).script(Script::InventoryFails).gives(0),
        row(e).with(Name::HdlmDisk).script(Script::InventoryEmpty).gives(0),
        row(e)
            .with(Name::HdlmDisk)
            .script(Script::InventoryMalformed)
            .gives(1)
            .logsRefusal("Invalid token count"),
    };
    return joined({nullOutputRows(row(e).with(Name::Missing), -1),
                   {row(e).with(Name::Null).refusesNull("device")},
                   withEachHostilePath(row(e).gives(0).runs(Runs::InventoryAtMost)),
                   onNodes});
}

std::vector<Row> findRows() {
    constexpr Entry e = Entry::FindMpDeviceName;
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
    return joined(
        {{row(e).with(Name::Null).gives(0).nameOut("").runs(Runs::Nothing)},
         withEachHostilePath(row(e).gives(0).nameOut("{name}").runs(Runs::InventoryAtMost)),
         onNodes});
}

std::vector<Row> inventoryRows() {
    constexpr Entry e = Entry::listMPIODevices;
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
    constexpr Entry e = Entry::compareDevMajor;
    return {
        row(e).number(INT_MIN).gives(0), row(e).number(-1).gives(0),
        row(e).number(0).gives(0),       row(e).number(INT_MAX).gives(0),
        row(e).number(253).gives(1),     row(e).number(253).script(Script::NoInit).gives(0),
    };
}

}  // namespace

std::vector<Row> lookupRows() {
    return joined({isMpioRows(), findRows(), inventoryRows(), majorRows()});
}

}  // namespace bad_input
