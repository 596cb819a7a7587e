#include "partition_record.h"

#include <cstring>
#include <ostream>
#include <tuple>

namespace plugin_calls {

PartitionRecord recordOf(const TsPartInfo& entry) {
    PartitionRecord record;
    record.name.assign(entry.devName, strnlen(entry.devName, sizeof entry.devName));
    record.number = entry.partNum;
    record.start = entry.startSector;
    record.sectors = entry.numSectors;
    record.sectorSize = entry.sectorSize;
    record.major = entry.devMajor;
    record.minor = entry.devMinor;
    return record;
}

std::vector<PartitionRecord> recordsOf(const std::vector<TsPartInfo>& entries) {
    std::vector<PartitionRecord> records;
    records.reserve(entries.size());
    for (const TsPartInfo& entry : entries) records.push_back(recordOf(entry));
    return records;
}

bool operator==(const PartitionRecord& a, const PartitionRecord& b) {
    return std::tie(a.name, a.number, a.start, a.sectors, a.sectorSize, a.major, a.minor) ==
           std::tie(b.name, b.number, b.start, b.sectors, b.sectorSize, b.major, b.minor);
}

std::ostream& operator<<(std::ostream& out, const PartitionRecord& r) {
    return out << r.name << " #" << r.number << " start " << r.start << " sectors " << r.sectors
               << " of " << r.sectorSize << " at " << r.major << ":" << r.minor;
}

}  // namespace plugin_calls
