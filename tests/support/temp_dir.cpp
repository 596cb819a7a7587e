#include "temp_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace testsupport {

TempDir::TempDir(const std::string& prefix, const std::string& parent) {
    const char* tmpdir = getenv("TMPDIR");
    const std::string base = !parent.empty() ? parent : tmpdir && *tmpdir ? tmpdir : "/tmp";
    std::string pattern = base + "/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory from " + pattern + ": " +
                                 std::strerror(errno) + "; check that TMPDIR is writable");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    std::string path = file(name);
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out.flush()) throw std::runtime_error("cannot write " + path + "; is the disk full?");
    return path;
}

std::string readFile(const std::string& path) {
    // Through operator<<, which stops at a read error (a /proc file of a process that just ended
    // fails with ESRCH) instead of throwing it as streambuf iterators do.
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testsupport
