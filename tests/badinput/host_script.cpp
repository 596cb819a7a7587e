#include "host_script.h"

#include <cerrno>
#include <climits>

#include "support/plugin_fixture.h"

namespace bad_input {
namespace {

const std::string kLongError(5000, 'e');

std::string inventoryFor(Script script) {
    switch (script) {
        case Script::InventoryShellName:
            return "253 16 sddlmab;touch${IFS}canary\n253 17 sddlmab1\n";
        case Script::InventoryMalformed:
            return "253 16 sddlmab\n253 17\n253 18 sddlmab2 extra\n" + std::string(5000, 'i') +
                   "\n";
        case Script::InventoryEmpty:
            return "";
        default:
            return "253 16 sddlmab\n253 17 sddlmab1\n";
    }
}

std::vector<slice> slicesFor(Script script) {
    if (script == Script::SliceMinorIntMax) return {slice{2048, 4096, 0, 0, INT_MAX}};
    const int partitions = script == Script::ManySlices ? 40 : 2;
    std::vector<slice> slices;
    for (int n = 1; n <= partitions; ++n)
        slices.push_back(slice{static_cast<uint64_t>(2048 * n), 2048, 0, 0, n});
    return slices;
}

}  // namespace

std::string scriptHost(PluginInstance& plugin, Script script) {
    host_double::reset();
    if (script != Script::NoInit) {
        host_double::answer(cmd::mpioviewinfo_cmd, 0, "HDLM Manager Ver ...\n");
        host_double::answer(cmd::admin_majors_cmd, 0, "253\n");
        int code = 0;
        char message[MAXMPIOERRORLEN] = {};
        if (plugin.init(nullptr, &code, message) == nullptr)
            return "the plug-in's init failed on the standard host";
        host_double::reset();
    }
    const bool fails = script == Script::LongErrorText;

    host_double::answer(cmd::mpioviewinfo_cmd, fails ? 1 : 0, "HDLM Manager Ver ...\n",
                        fails ? kLongError : "");
    host_double::answer(cmd::admin_majors_cmd, 0,
                        script == Script::MajorsGarbage ? std::string(5000, 'm') + "\n" : "253\n");

    if (script == Script::InventoryFails)
        host_double::answer(cmd::inventory_cmd, 1, "", "cat: /proc/partitions: unreadable\n");
    else
        host_double::answer(cmd::inventory_cmd, 0, inventoryFor(script));

    std::string luns = "sddlmab\nsddlmac\n";
    if (script == Script::LongDeviceLine) luns = std::string(5000, 'd') + "\n";
    if (script == Script::DeviceLineWithNul) luns = std::string("sddl\0mab\n", 9);
    host_double::answer(cmd::listing_cmd, fails ? 1 : 0, fails ? "" : luns,
                        fails ? kLongError : "");

    const std::string paths =
        script == Script::LongPathLine ? "sd" + std::string(4998, 'p') + "\n" : "sdc\nsdd\n";
    host_double::answer(cmd::paths_cmd("sddlmab"), fails ? 1 : 0, fails ? "" : paths,
                        fails ? kLongError : "");

    host_double::answer(cmd::mpiodeletepath_cmd, 0);
    host_double::answer(cmd::mpioaddpath_cmd, fails ? 1 : 0, "", fails ? kLongError : "");

    host_double::scriptPartitions(
        script == Script::ReaderFails ? -EIO : static_cast<int>(slicesFor(script).size()),
        slicesFor(script));
    return "";
}

}  // namespace bad_input
