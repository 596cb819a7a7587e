#include "disk_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "process_runner.h"

namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
    throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

}  // namespace

DiskImage::DiskImage(std::filesystem::path path, uint64_t bytes) : path_(std::move(path)) {
    std::ofstream create(path_, std::ios::binary | std::ios::trunc);
    if (!create) fail("cannot create disk image", path_);
    create.close();
    resize(bytes);
}

void DiskImage::resize(uint64_t bytes) const {
    if (::truncate(path_.c_str(), static_cast<off_t>(bytes)) != 0) fail("cannot resize", path_);
}

void DiskImage::patch(uint64_t offset, const std::vector<uint8_t>& bytes) const {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) fail("cannot open for patching", path_);
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    const int savedErrno = errno;
    ::close(fd);
    errno = savedErrno;
    if (n != static_cast<ssize_t>(bytes.size())) fail("cannot patch", path_);
}

void DiskImage::patchLe32(uint64_t offset, uint32_t value) const {
    patch(offset, {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                   static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
}

uint32_t DiskImage::readLe32(uint64_t offset) const {
    std::ifstream in(path_, std::ios::binary);
    uint8_t b[4] = {};
    if (!in.seekg(static_cast<std::streamoff>(offset)) ||
        !in.read(reinterpret_cast<char*>(b), sizeof b))
        fail("cannot read", path_);
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

const char* const kExtendedChainScript =
    "label: dos\n"
    "start=2048,size=8192,type=83\n"
    "start=10240,size=40960,type=5\n"
    "start=12288,size=4096\n"
    "start=18432,size=4096\n"
    "start=24576,size=8192\n";

void writeTable(const std::string& device, const std::string& sfdiskScript) {
    const testsupport::ProgramResult r =
        testsupport::runShell("printf '%s' " + testsupport::shellQuote(sfdiskScript) +
                              " | sfdisk --quiet --no-reread --no-tell-kernel " +
                              testsupport::shellQuote(device) + " 2>&1");
    if (r.status != 0)
        throw std::runtime_error("sfdisk could not write the table onto " + device + ": " +
                                 r.output() + " (is the fdisk package installed?)");
}
