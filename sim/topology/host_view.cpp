#include "topology/host_view.h"

#include <algorithm>
#include <set>

#include "topology/device_names.h"
#include "topology/numbering.h"

namespace sim {
namespace {

// A disk and its partitions, as /proc/partitions lists them and /dev holds them.
void addDisk(HostView& view, const std::string& name, DevNum disk, uint64_t kib,
             const std::optional<PartitionTable>& table) {
    view.partitions.push_back({disk.major, disk.minor, kib, name});
    view.nodes.push_back({name, 'b', disk});
    if (!table) return;
    for (const Partition& p : table->partitions) {
        // A disk has 16 minors: a (GPT) partition numbered above 15 gets no node and no
        // /proc/partitions line under this numbering.
        if (p.number > 15) continue;
        DevNum part{disk.major, disk.minor + unsigned(p.number)};
        std::string partName = name + std::to_string(p.number);
        view.partitions.push_back({part.major, part.minor, partitionKiB(p), partName});
        view.nodes.push_back({partName, 'b', part});
    }
}

}  // namespace

HostView deriveHostView(const Topology& t) {
    HostView view;
    if (t.recording) {
        view.recordedPartitions = t.recording->procPartitions;
        view.recordedDevices = t.recording->procDevices;
        for (const RecordedNode& n : t.recording->nodes)
            view.nodes.push_back({n.name, n.type, n.dev});
        return view;
    }
    const Runtime& rt = *t.runtime;
    struct ScsiDisk {
        int index;
        const LU* lu;
    };
    std::vector<ScsiDisk> scsi;
    std::vector<const LU*> hdlm;
    for (const StorageSystem& ss : t.storageSystems)
        for (const LU& lu : ss.lus) {
            for (const Path& p : lu.paths)
                if (scsiPresent(p)) scsi.push_back({scsiIndex(p.device), &lu});
            if (luVisible(lu) && !lu.hdev.empty()) hdlm.push_back(&lu);
        }
    std::sort(scsi.begin(), scsi.end(),
              [](const ScsiDisk& a, const ScsiDisk& b) { return a.index < b.index; });
    std::sort(hdlm.begin(), hdlm.end(),
              [](const LU* a, const LU* b) { return hdevIndex(a->hdev) < hdevIndex(b->hdev); });

    view.partitions = parsePartitions(rt.realPartitions);
    for (const ScsiDisk& d : scsi)
        addDisk(view, scsiName(d.index), scsiDevNum(d.index), d.lu->sizeMiB * 1024, d.lu->table);
    std::set<unsigned> majors;
    for (const LU* lu : hdlm) {
        addDisk(view, lu->hdev, lu->disk, lu->sizeMiB * 1024, lu->table);
        majors.insert(lu->disk.major);
    }

    view.devices = parseDevices(rt.realDevices);
    std::vector<unsigned> extra = freeMajors(view.devices, 18);
    if (majors.empty()) majors.insert(rt.letterMajors.at(0));  // loaded, without devices
    for (unsigned m : majors) insertDevice(view.devices.block, {m, "sddlmfdrv"});
    if (t.proc.alertDriver) insertDevice(view.devices.character, {extra[16], "sddlmadrv"});
    if (t.proc.charDeviceSddlmfdrv) insertDevice(view.devices.character, {extra[17], "sddlmfdrv"});
    return view;
}

std::string partitionsText(const HostView& view) {
    return view.recordedPartitions ? *view.recordedPartitions : renderPartitions(view.partitions);
}

std::string devicesText(const HostView& view) {
    return view.recordedDevices ? *view.recordedDevices : renderDevices(view.devices);
}

}  // namespace sim
