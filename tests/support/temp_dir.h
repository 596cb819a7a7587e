// A private directory for one test under $TMPDIR (or /tmp), removed with everything in it at the
// end.
#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
public:
    // `prefix` names the directory after its user, so that a leftover tells whose it was; it is
    // made under `parent`, or under $TMPDIR (else /tmp) when `parent` is empty.
    explicit TempDir(const std::string& prefix = "test", const std::string& parent = "");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::filesystem::path operator/(const std::string& name) const {
        return std::filesystem::path(path_) / name;
    }
    // Writes `content` to the file `name` in the directory; returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// The whole content of the file at `path`; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace testsupport
