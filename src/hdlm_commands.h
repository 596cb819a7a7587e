// The shell command lines the plug-in runs through the host's process runner, each written once:
// the module runs them, the tests' scripted host answers them, the simulator's tests feed its
// output through the filters, the fuzzers and the benchmarks run them. One test pins the text.
#pragma once

#include <string>

namespace hdlm_commands {

// What every command line starts with, so that the agent's environment cannot change an answer:
// - the C locale: in the Turkic locales grep's [a-p] does not match "i" (sddlmai would vanish),
//   and the tools' messages stay untranslated;
// - no GREP_OPTIONS (grep before 3.6 obeys it: --color=always puts escapes inside every name),
//   GREP_COLOR or GREP_COLORS;
// - HDLM's own folder on PATH: a service's PATH lacks it. Appended, so that a dlnkmgr earlier on
//   the agent's PATH still wins; an empty PATH gets no empty element (the current directory).
inline const std::string pinned_environment =
    "export LC_ALL=C PATH=\"${PATH:+$PATH:}/opt/DynamicLinkManager/bin\"; "
    "unset GREP_OPTIONS GREP_COLOR GREP_COLORS; ";

inline std::string pinned(const std::string& command) {
    return pinned_environment + command;
}

inline const std::string mpioviewinfo_cmd = "dlnkmgr view -sys -msrv";
inline const std::string mpioviewluns_cmd = "dlnkmgr view -lu";
inline const std::string mpioviewdev_cmd =
    "dlnkmgr view -lu -item -hdev ";  // the bare name follows
inline const std::string mpiodeletepath_cmd = "dlnkmgr delete -path -s";
inline const std::string mpioaddpath_cmd = "dlnkmgr add -path -s";

// The HDLM driver's majors, from /proc/devices.
inline const std::string admin_majors_cmd =
    "cat /proc/devices | grep 'sddlmfdrv' | awk '{print $1}'";

// Only HDLM's own names are taken: sddlm and two or three letters a-p, a partition's number after
// them. The kernel names its 3029th SCSI disk sddlm too, so a bare "sddlm" match would take that
// path (and its partitions) for HDLM devices on every host with that many paths.
inline const std::string inventory_cmd =
    "cat /proc/partitions | grep -E '[[:space:]]sddlm[a-p]{2,3}[0-9]*$' | awk '{print $1\" \"$2\" "
    "\"$4}'";

// In view -lu the HDLM name stands in the second column, and only there is it taken: a KAPL
// message that names a device, or a line without an iLU, holds something else there. (The awk
// pattern spells out its letters: mawk, Debian's default awk, knows no {2,3}.)
inline const std::string luns_filter =
    " | grep -E '[[:space:]]sddlm[a-p]{2,3}([[:space:]]|$)' | awk '$2 ~ "
    "/^sddlm[a-p][a-p][a-p]?$/ {print $2}';";

// The Device column of view -lu -item, counted from the line's end: 11 columns follow it. A line
// too short to hold it (a KAPL message that names a path) is passed over; awk would stop at it.
// A gone path shows Device "-" on its LU's first line, where HDevName stands just before it: the
// pair is printed, so that a "-" of another column (another layout) is not taken for a gone path.
inline const std::string item_filter =
    "grep sd | awk 'NF > 11 {d = $(NF-11); if (d == \"-\" && NF > 12) d = $(NF-12) \" -\"; "
    "print d}'";

// dlnkmgr feeding a pipeline. /bin/sh may be dash, which has no pipefail, and a pipeline's
// status is its last stage's: so dlnkmgr's output is taken first and a failing dlnkmgr ends
// the command with its own status, before any filter runs. What it printed then goes to stderr,
// where the runner's error text is read (HDLM prints its KAPL messages on stdout).
inline std::string dlnkmgrPipeline(const std::string& dlnkmgrCommand, const std::string& filters) {
    return "out=$(" + dlnkmgrCommand +
           ") || { s=$?; [ -z \"$out\" ] || printf '%s\\n' \"$out\" >&2; exit $s; }; "
           "printf '%s\\n' \"$out\"" +
           filters;
}

// getMPIODevices: the HDLM names of view -lu.
inline const std::string listing_cmd = dlnkmgrPipeline(mpioviewluns_cmd, luns_filter);

// getUnderlyingDevices: the paths of one disk, by its bare name (sddlmaa).
inline std::string paths_cmd(const std::string& bareName) {
    return dlnkmgrPipeline(mpioviewdev_cmd + bareName, " | " + item_filter);
}

}  // namespace hdlm_commands
