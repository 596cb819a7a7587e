// Keeps the simulated disk nodes of a /dev directory in line with a wanted set.
#pragma once
#include <string>
#include <vector>

#include "topology/host_view.h"

namespace sim {

// Creates missing or renumbered nodes and removes the sddlm* and sd* nodes not wanted;
// nothing else in the directory is touched. Nodes are 0660 root:disk, as udev makes them.
void syncNodes(const std::string& devDir, const std::vector<NodeSpec>& wanted);

}  // namespace sim
