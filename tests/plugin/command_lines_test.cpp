// The command lines the plug-in runs are the system's own text, to the character: the scripted
// host, the simulator's tests, the fuzzers and the benchmarks all take them from the plug-in's
// header, so this is the one place that says what they are. The README quotes the environment.
#include <fstream>
#include <sstream>

#include "support/plugin_fixture.h"

namespace {

TEST(CommandLines, AreTheSystemsOwnText) {
    const std::string dlnkmgrFirst =
        ") || { s=$?; [ -z \"$out\" ] || printf '%s\\n' \"$out\" >&2; exit $s; }; printf '%s\\n' "
        "\"$out\"";
    const struct {
        const char* name;
        std::string actual;
        std::string expected;
    } rows[] = {
        {"pinned environment", cmd::pinned_environment,
         "export LC_ALL=C PATH=\"${PATH:+$PATH:}/opt/DynamicLinkManager/bin\"; "
         "unset GREP_OPTIONS GREP_COLOR GREP_COLORS; "},
        {"init", cmd::mpioviewinfo_cmd, "dlnkmgr view -sys -msrv"},
        {"majors", cmd::admin_majors_cmd,
         "cat /proc/devices | grep 'sddlmfdrv' | awk '{print $1}'"},
        {"inventory", cmd::inventory_cmd,
         "cat /proc/partitions | grep -E '[[:space:]]sddlm[a-p]{2,3}[0-9]*$' | "
         "awk '{print $1\" \"$2\" \"$4}'"},
        {"listing", cmd::listing_cmd,
         "out=$(dlnkmgr view -lu" + dlnkmgrFirst +
             " | grep -E '[[:space:]]sddlm[a-p]{2,3}([[:space:]]|$)' | "
             "awk '$2 ~ /^sddlm[a-p][a-p][a-p]?$/ {print $2}';"},
        {"paths", cmd::paths_cmd("sddlmab"),
         "out=$(dlnkmgr view -lu -item -hdev sddlmab" + dlnkmgrFirst +
             " | grep sd | awk 'NF > 11 {d = $(NF-11); if (d == \"-\" && NF > 12) "
             "d = $(NF-12) \" -\"; print d}'"},
        {"delete", cmd::mpiodeletepath_cmd, "dlnkmgr delete -path -s"},
        {"add", cmd::mpioaddpath_cmd, "dlnkmgr add -path -s"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.actual, row.expected) << row.name;

    std::ifstream readme(README_PATH);
    std::stringstream text;
    text << readme.rdbuf();
    const std::string environment =
        cmd::pinned_environment.substr(0, cmd::pinned_environment.find_last_not_of(' ') + 1);
    EXPECT_NE(text.str().find(environment), std::string::npos)
        << README_PATH << " does not quote the environment every command runs in:\n"
        << environment;
}

}  // namespace
