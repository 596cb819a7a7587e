// Where the probe looks for the plug-in when no --plugin is given.
#pragma once

#include <string>
#include <vector>

namespace probe {

// The places, in order, where a plug-in built or installed beside the probe binary lies,
// derived from the directory that holds the binary.
std::vector<std::string> defaultPluginCandidates(const std::string& binaryDir);

// The directory of the running binary (from /proc/self/exe); empty when it cannot be read.
std::string ownBinaryDir();

// The first candidate that exists; throws LoadError naming every path tried when none does.
std::string locateDefaultPlugin();

}  // namespace probe
