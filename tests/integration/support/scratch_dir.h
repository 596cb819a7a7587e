// A directory of its own for one test, removed with everything in it at the end.
#pragma once
#include <string>

namespace integ {

class ScratchDir {
public:
    ScratchDir();  // under $TMPDIR, or /tmp
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name,
                      const std::string& content) const;  // returns its path

private:
    std::string path_;
};

}  // namespace integ
