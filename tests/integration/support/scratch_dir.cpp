#include "scratch_dir.h"

#include <ftw.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace integ {

ScratchDir::ScratchDir() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/integration-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
        throw std::runtime_error("cannot make a scratch directory " + pattern + ": " +
                                 std::strerror(errno));
    path_ = name.data();
}

ScratchDir::~ScratchDir() {
    nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

std::string ScratchDir::write(const std::string& name, const std::string& content) const {
    std::string p = file(name);
    std::ofstream out(p, std::ios::binary);
    out << content;
    if (!out.flush()) throw std::runtime_error("cannot write " + p);
    return p;
}

}  // namespace integ
