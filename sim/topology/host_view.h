// The simulated host as the plug-in sees it, derived once from the state: every simulated
// block device with its name and number, the /proc lines they make and their /dev nodes.
// Rendering (files, nodes) reads this and nothing else.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "topology/proc_format.h"
#include "topology/topology.h"

namespace sim {

struct NodeSpec {
    std::string name;  // under /dev
    char type = 'b';
    DevNum dev;
};

struct HostView {
    // The machine's own lines, then the SCSI path devices in the kernel's order, then the
    // HDLM disks by name, each followed by its partitions.
    std::vector<PartitionsLine> partitions;
    // The machine's drivers plus sddlmfdrv under each HDLM major in use (and the alert driver
    // and character sddlmfdrv where the topology asks for them).
    DevicesTable devices;
    std::vector<NodeSpec> nodes;  // one per simulated device above
    // A recorded host is shown as recorded, text for text.
    std::optional<std::string> recordedPartitions;
    std::optional<std::string> recordedDevices;
};

HostView deriveHostView(const Topology& t);

// The view's /proc/partitions and /proc/devices text.
std::string partitionsText(const HostView& view);
std::string devicesText(const HostView& view);

}  // namespace sim
