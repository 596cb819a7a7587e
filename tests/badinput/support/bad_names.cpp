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

#include "facts.h"

namespace bad_names {
namespace {

std::string failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Where a name's text comes from.
enum class From {
    NoText,          // null or never read
    Literal,         // `text` as it stands
    Scratch,         // the scratch folder, then `text`
    LongFolder,      // the folder of about 2000 characters in the scratch folder, then `text`
    MissingPath,     // pathOfLength(`length`)
    TextAndLetters,  // `text`, then `length` letters
};

struct NameFacts {
    Name key;
    const char* token;  // its part of a test's name
    const char* shown;  // how the documentation shows it
    From from = From::NoText;
    const char* text = "";
    std::size_t length = 0;
};

const NameFacts kNames[] = {
    {Name::None, "", "-"},
    {Name::Null, "NullName", "null"},
    {Name::WildPointer, "WildName", "`(const char*)1`, never readable"},
    {Name::Empty, "EmptyName", "`\"\"`", From::Literal, ""},
    {Name::Length1023, "Path1023", "path of 1023 characters (missing)", From::MissingPath, "",
     1023},
    {Name::Length1024, "Path1024", "path of 1024 characters (missing)", From::MissingPath, "",
     1024},
    {Name::Length4096, "Path4096", "path of 4096 characters (= PATH_MAX)", From::MissingPath, "",
     PATH_MAX},
    {Name::LongerThanPathMax, "Path5000", "path of 5000 characters (> PATH_MAX)", From::MissingPath,
     "", 5000},
    {Name::LongHdlmLikeName, "LongHdlmLikeName",
     "`sddlm` + 1500 letters (one component > NAME_MAX)", From::TextAndLetters, "sddlm", 1500},
    {Name::Blanks, "Blanks", "`/dev/sddlm zz x` (blanks)", From::Literal, "/dev/sddlm zz x"},
    {Name::Newline, "Newline", "`<scratch>/line1\\nline2` (newline)", From::Scratch,
     "/line1\nline2"},
    {Name::Quotes, "Quotes", "`/dev/sddlm'zz\"` (quotes)", From::Literal, "/dev/sddlm'zz\""},
    {Name::DollarParen, "DollarParen", "`/dev/sddlmzz$(touch canary)`", From::Literal,
     "/dev/sddlmzz$(touch canary)"},
    {Name::Backticks, "Backticks", "``/dev/sddlmzz`touch canary` ``", From::Literal,
     "/dev/sddlmzz`touch canary`"},
    {Name::Semicolon, "Semicolon", "`/dev/sddlmzz;touch canary`", From::Literal,
     "/dev/sddlmzz;touch canary"},
    {Name::Percent, "Percent", "`<scratch>/%s%n%x` (printf directives)", From::Scratch, "/%s%n%x"},
    {Name::Missing, "Missing", "path that does not exist", From::Scratch, "/missing"},
    {Name::RegularFile, "RegularFile", "regular file", From::Scratch, "/file"},
    {Name::Directory, "Directory", "directory", From::Scratch, "/dir"},
    {Name::CharDevice, "CharDevice", "character device `/dev/null` (1:3)", From::Literal,
     "/dev/null"},
    {Name::Fifo, "Fifo", "FIFO", From::Scratch, "/fifo"},
    {Name::SymlinkLoop, "SymlinkLoop", "symbolic-link loop", From::Scratch, "/loop-a"},
    {Name::HdlmDisk, "HdlmDisk", "HDLM disk `/dev/sddlmab` (253:16)", From::Literal,
     "/dev/sddlmab"},
    {Name::HdlmPartition, "HdlmPartition", "HDLM partition `/dev/sddlmab1` (253:17)", From::Literal,
     "/dev/sddlmab1"},
    {Name::ShellTextAfterNewline, "ShellTextAfterNewline", "`sddlmab\\n;touch canary`",
     From::Literal, "sddlmab\n;touch canary"},
    {Name::ShellNamedLinkToHdlmDisk, "ShellNamedLink",
     "link `<scratch>/x;touch canary` to the HDLM disk", From::Scratch, "/x;touch canary"},
    {Name::CharDeviceWithHdlmNumber, "CharDeviceWithHdlmNumber",
     "character device 253:16 (the HDLM disk's number)", From::Scratch, "/watchdog-like"},
    {Name::LongPathToHdlmDisk, "LongPathToHdlmDisk",
     "link to the HDLM disk by a path of about 2000 characters", From::LongFolder, "/disk"},
    {Name::LongPathToHdlmPartition, "LongPathToHdlmPartition",
     "link to the HDLM partition by a path of about 2000 characters", From::LongFolder, "/part1"},
};

const NameFacts& factsOf(Name name) {
    static const NameFacts unknown{Name::None, "Unknown", "?"};
    return facts::of(kNames, name, unknown);
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
    return factsOf(name).shown;
}

std::string token(Name name) {
    return factsOf(name).token;
}

bool needsDeviceNodes(Name name) {
    return name == Name::HdlmDisk || name == Name::HdlmPartition ||
           name == Name::ShellTextAfterNewline || name == Name::ShellNamedLinkToHdlmDisk ||
           name == Name::CharDeviceWithHdlmNumber || name == Name::LongPathToHdlmDisk ||
           name == Name::LongPathToHdlmPartition;
}

Scratch::Scratch(const std::string& parent) {
    try {
        folder_.emplace("bad-input", parent);
    } catch (const std::exception& e) {
        error_ = e.what();
        return;
    }
    dir_ = folder_->path();
    std::ofstream(dir_ + "/file") << "not a device\n";
    if (mkdir((dir_ + "/dir").c_str(), 0700) != 0) error_ = failure("mkdir " + dir_ + "/dir");
    if (mkfifo(fifo().c_str(), 0600) != 0) error_ = failure("mkfifo " + fifo());
    if (symlink((dir_ + "/loop-b").c_str(), (dir_ + "/loop-a").c_str()) != 0 ||
        symlink((dir_ + "/loop-a").c_str(), (dir_ + "/loop-b").c_str()) != 0)
        error_ = failure("making a symbolic-link loop in " + dir_);
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
    const NameFacts& facts = factsOf(name);
    switch (facts.from) {
        case From::NoText:
            return std::nullopt;
        case From::Literal:
            return std::string(facts.text);
        case From::Scratch:
            return dir_ + facts.text;
        case From::LongFolder:
            return longFolder() + facts.text;
        case From::MissingPath:
            return pathOfLength(facts.length);
        case From::TextAndLetters:
            return facts.text + std::string(facts.length, 'a');
    }
    return std::nullopt;
}

}  // namespace bad_names
