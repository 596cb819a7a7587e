#include "slice_testing.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

#include "process_runner.h"

bool operator==(const slice& a, const slice& b) {
    return a.start == b.start && a.size == b.size && a.container == b.container &&
           a.major == b.major && a.minor == b.minor;
}

void PrintTo(const slice& s, std::ostream* os) {
    *os << "{#" << s.minor << " start " << s.start << " size " << s.size << " container "
        << s.container << " major " << s.major << "}";
}

slice makeSlice(int number, uint64_t start, uint64_t size, int container) {
    slice s{};
    s.start = start;
    s.size = size;
    s.container = container;
    s.major = 0;
    s.minor = number;
    return s;
}

std::vector<slice> toVector(const std::list<slice>& slices) {
    return {slices.begin(), slices.end()};
}

namespace {

// "…/disk.img5" or "/dev/loop0p5" -> 5
int trailingNumber(const std::string& node) {
    size_t i = node.size();
    while (i > 0 && node[i - 1] >= '0' && node[i - 1] <= '9') --i;
    return i == node.size() ? 0 : std::stoi(node.substr(i));
}

}  // namespace

std::vector<SfdiskPartition> sfdiskPartitions(const std::string& device) {
    const testsupport::ProgramResult r =
        testsupport::runShell("sfdisk --json " + testsupport::shellQuote(device));
    if (r.status != 0)
        throw std::runtime_error("sfdisk --json " + device + " failed: " + r.describe());
    const nlohmann::json table = nlohmann::json::parse(r.out).at("partitiontable");
    const uint64_t unit = table.value("sectorsize", 512ULL) / 512;
    const bool dos = table.value("label", "") == "dos";

    std::vector<SfdiskPartition> partitions;
    for (const nlohmann::json& p : table.value("partitions", nlohmann::json::array())) {
        SfdiskPartition part;
        part.number = trailingNumber(p.at("node").get<std::string>());
        part.start = p.at("start").get<uint64_t>() * unit;
        part.size = p.at("size").get<uint64_t>() * unit;
        const std::string type = p.value("type", "");
        part.extended = dos && (type == "5" || type == "f" || type == "85");
        partitions.push_back(part);
    }
    return partitions;
}
