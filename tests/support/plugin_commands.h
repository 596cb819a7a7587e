// The shell command lines the plug-in runs, character for character: the scripted host of the
// tests and the fuzzers answers exactly these, and the benchmarks' floors run exactly these, so
// a plug-in that ran anything else fails the tests instead of being measured against the wrong
// floor.
#pragma once

#include <string>

namespace plugin_commands {

inline const std::string viewSys = "dlnkmgr view -sys -msrv";
inline const std::string majors = "cat /proc/devices | grep 'sddlmfdrv' | awk '{print $1}'";
inline const std::string inventory =
    "cat /proc/partitions | grep -E '[[:space:]]sddlm[a-p]{2,3}[0-9]*$' | awk '{print $1\" \"$2\" "
    "\"$4}'";

// dlnkmgr's output taken first, so that its own status ends the command when it fails.
inline std::string dlnkmgrFirst(const std::string& dlnkmgr, const std::string& filters) {
    return "out=$(" + dlnkmgr +
           ") || { s=$?; [ -z \"$out\" ] || printf '%s\\n' \"$out\" >&2; exit $s; }; "
           "printf '%s\\n' \"$out\"" +
           filters;
}

inline const std::string luns =
    dlnkmgrFirst("dlnkmgr view -lu",
                 " | grep -E '[[:space:]]sddlm[a-p]{2,3}([[:space:]]|$)' | awk '$2 ~ "
                 "/^sddlm[a-p][a-p][a-p]?$/ {print $2}';");
inline const std::string deletePaths = "dlnkmgr delete -path -s";
inline const std::string addPaths = "dlnkmgr add -path -s";

// The filter that takes the Device column from `dlnkmgr view -lu -item`: the simulator's tests
// run it on the simulated dlnkmgr's text, so that both sides agree on what the plug-in sees.
inline const std::string itemFilter = "grep sd |  awk '{print $(NF-11)}' ";
// The path listing of one disk, by its bare name (sddlmaa): the name between these two.
inline const std::string pathsPrefix = "out=$(dlnkmgr view -lu -item -hdev ";
inline const std::string pathsFilter =
    ") || { s=$?; [ -z \"$out\" ] || printf '%s\\n' \"$out\" >&2; exit $s; }; printf '%s\\n' "
    "\"$out\" | " +
    itemFilter;
inline std::string paths(const std::string& bareName) {
    return pathsPrefix + bareName + pathsFilter;
}

}  // namespace plugin_commands
