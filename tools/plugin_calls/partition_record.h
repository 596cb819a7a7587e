// One TsPartInfo entry read back as plain values: the one partition record every host of the
// plug-in shares (the probe shows it, the tests compare whole records, the tests' host model
// says which records a topology must give).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"

namespace plugin_calls {

struct PartitionRecord {
    std::string name;  // devName, read no further than its buffer
    uint32_t number = 0;
    uint64_t start = 0;    // in units of sectorSize
    uint64_t sectors = 0;  // in units of sectorSize
    uint64_t sectorSize = 0;
    uint32_t major = 0;
    uint32_t minor = 0;

    uint64_t bytes() const { return sectors * sectorSize; }
};

PartitionRecord recordOf(const TsPartInfo& entry);
std::vector<PartitionRecord> recordsOf(const std::vector<TsPartInfo>& entries);

bool operator==(const PartitionRecord& a, const PartitionRecord& b);
inline bool operator!=(const PartitionRecord& a, const PartitionRecord& b) {
    return !(a == b);
}
// One line, so that a failed comparison names every field.
std::ostream& operator<<(std::ostream& out, const PartitionRecord& r);

}  // namespace plugin_calls
