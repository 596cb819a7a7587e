// What a simulated host must show, worked out from its topology alone: which LUs HDLM lists
// under which names, which SCSI paths lie beneath each, and the partitions of each table, before
// and after a refresh. The host is the simulator's own: its reader, its naming and its path
// changes, run here without a host around them, so nothing about HDLM's behaviour is written a
// second time. The expectations of the integration and stress tests come from here, never from
// what the plug-in printed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "partition_record.h"
#include "topology/topology.h"

namespace testsupport {

class HostModel {
public:
    // Throws std::runtime_error for a recorded host: it has no LUs to derive expectations from.
    explicit HostModel(const sim::Topology& topology);
    static HostModel fromJson(const nlohmann::json& topology);

    // What `dlnkmgr delete -path -s` and `add -path -s` do to the host.
    void deleteGonePaths();
    void addAttachedPaths();
    // What `hdlm-sim fault remove|return DEVICE` does: the kernel loses or finds the SCSI device.
    void removeDevice(const std::string& device);
    void returnDevice(const std::string& device);
    // SCSI devices of the host's paths whose disks have gone (gone or removed), sorted.
    std::vector<std::string> goneDevices() const;

    // HDLM's devices as getMPIODevices reports them (/dev/sddlmaa …), in `view -lu` order.
    std::vector<std::string> devices() const;
    // The bare names of those devices.
    std::vector<std::string> deviceNames() const;
    // What getUnderlyingDevices reports for the device `name`, sorted: the lines the plug-in's
    // pipeline picks out of `view -lu -item -hdev`.
    std::vector<std::string> underlying(const std::string& name) const;
    // The partitions of the LU named `name`, by number, as the kernel (and so the partition
    // reader) shows them: an extended partition is 2 sectors long. The node numbers are the
    // host's (a loop device's), so major and minor are left 0.
    std::vector<plugin_calls::PartitionRecord> partitions(const std::string& name) const;
    // The LU's table label (dos or gpt), empty without a table.
    std::string label(const std::string& name) const;
    // SCSI devices that have a node on the host (every path not gone), sorted.
    std::vector<std::string> pathDevices() const;

private:
    const sim::LU& find(const std::string& name) const;
    std::vector<std::string> devicesWhere(bool present) const;

    sim::Topology host_;  // the simulator's state: names given, paths changed as by the simulator
    bool goneShowsName_ = false;
    bool defaultItemLayout_ = true;
};

}  // namespace testsupport
