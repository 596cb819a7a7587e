// A sparse disk image file that a test writes partition tables into with sfdisk.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class DiskImage {
public:
    DiskImage(std::filesystem::path path, uint64_t bytes);

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

    void resize(uint64_t bytes) const;
    void patch(uint64_t offset, const std::vector<uint8_t>& bytes) const;
    void patchLe32(uint64_t offset, uint32_t value) const;
    uint32_t readLe32(uint64_t offset) const;

private:
    std::filesystem::path path_;
};

// An MBR with a primary partition and an extended one holding three logicals (5, 6, 7) at
// sectors 12288, 18432 and 24576, as an sfdisk script.
extern const char* const kExtendedChainScript;

// Writes a partition table onto `device` (an image or a block device) from an sfdisk script.
// Throws with sfdisk's own message when it refuses the script.
void writeTable(const std::string& device, const std::string& sfdiskScript);
