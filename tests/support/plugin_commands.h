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
    "cat /proc/partitions | grep \"sddlm\" | awk '{print $1\" \"$2\" \"$4}'";
inline const std::string luns = "dlnkmgr view -lu | grep 'sddlm' | awk '{print $2}';";
inline const std::string deletePaths = "dlnkmgr delete -path -s";
inline const std::string addPaths = "dlnkmgr add -path -s";

// The path listing of one disk, by its bare name (sddlmaa): the name between these two.
inline const std::string pathsPrefix = "dlnkmgr view -lu -item -hdev ";
inline const std::string pathsFilter = " | grep sd |  awk '{print $(NF-11)}' ";
inline std::string paths(const std::string& bareName) {
    return pathsPrefix + bareName + pathsFilter;
}

}  // namespace plugin_commands
