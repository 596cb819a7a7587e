#include "bad_names.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace bad_names {
namespace {

std::string failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

std::string pathOfLength(size_t length) {
    std::string path = "/nonexistent-bad-input";
    while (path.size() < length) {
        path += '/';
        path += std::string(std::min<size_t>(200, length - path.size()), 'a');
    }
    path.resize(length);
    if (path.back() == '/') path.back() = 'b';
    return path;
}

std::string describe(Name name) {
    switch (name) {
        case Name::None:
            return "-";
        case Name::Null:
            return "null";
        case Name::WildPointer:
            return "`(const char*)1`, never readable";
        case Name::Empty:
            return "`\"\"`";
        case Name::Length1023:
            return "path of 1023 characters (missing)";
        case Name::Length1024:
            return "path of 1024 characters (missing)";
        case Name::Length4096:
            return "path of 4096 characters (= PATH_MAX)";
        case Name::LongerThanPathMax:
            return "path of 5000 characters (> PATH_MAX)";
        case Name::LongHdlmLikeName:
            return "`sddlm` + 1500 letters (one component > NAME_MAX)";
        case Name::Blanks:
            return "`/dev/sddlm zz x` (blanks)";
        case Name::Newline:
            return "`<scratch>/line1\\nline2` (newline)";
        case Name::Quotes:
            return "`/dev/sddlm'zz\"` (quotes)";
        case Name::DollarParen:
            return "`/dev/sddlmzz$(touch canary)`";
        case Name::Backticks:
            return "``/dev/sddlmzz`touch canary` ``";
        case Name::Semicolon:
            return "`/dev/sddlmzz;touch canary`";
        case Name::Percent:
            return "`<scratch>/%s%n%x` (printf directives)";
        case Name::Missing:
            return "path that does not exist";
        case Name::RegularFile:
            return "regular file";
        case Name::Directory:
            return "directory";
        case Name::CharDevice:
            return "character device `/dev/null` (1:3)";
        case Name::Fifo:
            return "FIFO";
        case Name::SymlinkLoop:
            return "symbolic-link loop";
        case Name::HdlmDisk:
            return "HDLM disk `/dev/sddlmab` (253:16)";
        case Name::HdlmPartition:
            return "HDLM partition `/dev/sddlmab1` (253:17)";
        case Name::ShellTextAfterNewline:
            return "`sddlmab\\n;touch canary`";
        case Name::ShellNamedLinkToHdlmDisk:
            return "link `<scratch>/x;touch canary` to the HDLM disk";
        case Name::CharDeviceWithHdlmNumber:
            return "character device 253:16 (the HDLM disk's number)";
        case Name::LongPathToHdlmDisk:
            return "link to the HDLM disk by a path of about 2000 characters";
        case Name::LongPathToHdlmPartition:
            return "link to the HDLM partition by a path of about 2000 characters";
    }
    return "?";
}

bool needsDeviceNodes(Name name) {
    return name == Name::HdlmDisk || name == Name::HdlmPartition ||
           name == Name::ShellTextAfterNewline || name == Name::ShellNamedLinkToHdlmDisk ||
           name == Name::CharDeviceWithHdlmNumber || name == Name::LongPathToHdlmDisk ||
           name == Name::LongPathToHdlmPartition;
}

Scratch::Scratch(const std::string& parent) {
    std::string base = parent;
    if (base.empty()) {
        const char* tmpdir = std::getenv("TMPDIR");
        base = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    }
    std::string pattern = base + "/bad-input-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error_ = failure("creating a scratch folder under " + base);
        return;
    }
    dir_ = pattern;
    std::ofstream(dir_ + "/file") << "not a device\n";
    if (mkdir((dir_ + "/dir").c_str(), 0700) != 0) error_ = failure("mkdir " + dir_ + "/dir");
    if (mkfifo(fifo().c_str(), 0600) != 0) error_ = failure("mkfifo " + fifo());
    if (symlink((dir_ + "/loop-b").c_str(), (dir_ + "/loop-a").c_str()) != 0 ||
        symlink((dir_ + "/loop-a").c_str(), (dir_ + "/loop-b").c_str()) != 0)
        error_ = failure("making a symbolic-link loop in " + dir_);
}

Scratch::~Scratch() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::string Scratch::makeDeviceNodes() {
    struct Node {
        std::string path;
        mode_t type;
        unsigned major;
        unsigned minor;
    };
    const Node nodes[] = {
        {"/dev/null", S_IFCHR, 1, 3},
        {"/dev/sddlmab", S_IFBLK, 253, 16},
        {"/dev/sddlmab1", S_IFBLK, 253, 17},
        {dir_ + "/watchdog-like", S_IFCHR, 253, 16},
    };
    for (const Node& node : nodes)
        if (mknod(node.path.c_str(), node.type | 0600, makedev(node.major, node.minor)) != 0 &&
            errno != EEXIST)
            return failure("mknod " + node.path);
    if (symlink("/dev/sddlmab", (dir_ + "/x;touch canary").c_str()) != 0)
        return failure("symlink to /dev/sddlmab in " + dir_);
    std::error_code error;
    std::filesystem::create_directories(longFolder(), error);
    if (error) return "creating " + longFolder() + ": " + error.message();
    if (symlink("/dev/sddlmab", (longFolder() + "/disk").c_str()) != 0 ||
        symlink("/dev/sddlmab1", (longFolder() + "/part1").c_str()) != 0)
        return failure("symlinks to the HDLM nodes in " + longFolder());
    return "";
}

// Folders of 200 letters each until the path is about 2000 characters long.
std::string Scratch::longFolder() const {
    std::string folder = dir_;
    while (folder.size() < 1990) folder += "/" + std::string(200, 'd');
    return folder;
}

std::optional<std::string> Scratch::text(Name name) const {
    switch (name) {
        case Name::None:
        case Name::Null:
        case Name::WildPointer:
            return std::nullopt;
        case Name::Empty:
            return std::string();
        case Name::Length1023:
            return pathOfLength(1023);
        case Name::Length1024:
            return pathOfLength(1024);
        case Name::Length4096:
            return pathOfLength(PATH_MAX);
        case Name::LongerThanPathMax:
            return pathOfLength(5000);
        case Name::LongHdlmLikeName:
            return "sddlm" + std::string(1500, 'a');
        case Name::Blanks:
            return std::string("/dev/sddlm zz x");
        case Name::Newline:
            return dir_ + "/line1\nline2";
        case Name::Quotes:
            return std::string("/dev/sddlm'zz\"");
        case Name::DollarParen:
            return std::string("/dev/sddlmzz$(touch canary)");
        case Name::Backticks:
            return std::string("/dev/sddlmzz`touch canary`");
        case Name::Semicolon:
            return std::string("/dev/sddlmzz;touch canary");
        case Name::Percent:
            return dir_ + "/%s%n%x";
        case Name::Missing:
            return dir_ + "/missing";
        case Name::RegularFile:
            return dir_ + "/file";
        case Name::Directory:
            return dir_ + "/dir";
        case Name::CharDevice:
            return std::string("/dev/null");
        case Name::Fifo:
            return fifo();
        case Name::SymlinkLoop:
            return dir_ + "/loop-a";
        case Name::HdlmDisk:
            return std::string("/dev/sddlmab");
        case Name::HdlmPartition:
            return std::string("/dev/sddlmab1");
        case Name::ShellTextAfterNewline:
            return std::string("sddlmab\n;touch canary");
        case Name::ShellNamedLinkToHdlmDisk:
            return dir_ + "/x;touch canary";
        case Name::CharDeviceWithHdlmNumber:
            return dir_ + "/watchdog-like";
        case Name::LongPathToHdlmDisk:
            return longFolder() + "/disk";
        case Name::LongPathToHdlmPartition:
            return longFolder() + "/part1";
    }
    return std::nullopt;
}

}  // namespace bad_names
