#include "topology_writers/generate.h"

#include <cstdio>
#include <stdexcept>

#include "topology/device_names.h"

namespace sim {

Topology generateTopology(const GenerateOptions& o) {
    if (o.lus < 1 || o.lus > kMaxHdlmDevices) throw std::invalid_argument("--lus must be 1..512");
    if (o.paths < 1 || o.paths > 16) throw std::invalid_argument("--paths must be 1..16");
    if (o.partitions < 0 || o.partitions > 15)
        throw std::invalid_argument("--partitions must be 0..15");
    if (o.storageSystems < 1 || o.storageSystems > 64)
        throw std::invalid_argument("--storage-systems must be 1..64");
    std::string label = o.label.empty() ? (o.partitions <= 4 ? "dos" : "gpt") : o.label;
    if (label != "dos" && label != "gpt") throw std::invalid_argument("--label must be dos or gpt");
    if (label == "dos" && o.partitions > 4)
        throw std::invalid_argument("--label dos holds at most 4 partitions here (no logicals)");
    uint64_t sectors = o.sizeMiB * 2048;
    uint64_t first = 2048, last = sectors - 2048;  // 1 MiB aligned, clear of the gpt backup
    if (o.partitions && (last - first) / uint64_t(o.partitions) < 2048)
        throw std::invalid_argument("--size-mib too small for that many partitions");

    Topology t;
    for (int s = 0; s < o.storageSystems; ++s) {
        StorageSystem ss;
        ss.product = "VSP_G900";
        ss.serial = std::to_string(410000 + s);
        t.storageSystems.push_back(ss);
    }
    int pathId = 0;
    int device = scsiIndex("sdc");
    for (int i = 0; i < o.lus; ++i) {
        StorageSystem& ss = t.storageSystems[size_t(i % o.storageSystems)];
        LU lu;
        char ilu[16];
        snprintf(ilu, sizeof ilu, "%06X", 0x1A00 + unsigned(ss.lus.size()));
        lu.ilu = ilu;
        lu.hdev = hdevName(i);
        lu.sizeMiB = o.sizeMiB;
        if (o.partitions) {
            PartitionTable table{label, {}};
            uint64_t each = (last - first) / uint64_t(o.partitions) / 2048 * 2048;
            for (int p = 0; p < o.partitions; ++p)
                table.partitions.push_back(
                    {p + 1, label == "dos" ? "primary" : "", first + uint64_t(p) * each, each, ""});
            lu.table = table;
        }
        for (int p = 0; p < o.paths; ++p) {
            Path path;
            path.device = scsiName(device++);
            path.pathId = pathId++;
            lu.paths.push_back(path);
        }
        ss.lus.push_back(lu);
    }
    t.maxLoopBackedLUs = o.loopBackedLUs;
    return t;
}

}  // namespace sim
