// The hostile names a host might hand the plug-in, and the files behind them: a scratch folder
// holding a regular file, a folder, a FIFO and a symbolic-link loop, plus the canary file that
// a name carrying shell code would create if the text ever reached a shell. The shell code in
// the names touches "canary" relative to the working folder: run the calls inside the scratch
// folder.
#pragma once

#include <optional>
#include <string>

#include "temp_dir.h"

namespace bad_names {

enum class Name {
    None,         // the entry point takes no name
    Null,         // a null pointer
    WildPointer,  // (const char*)1: only for an argument that is never read
    Empty,
    Length1023,
    Length1024,
    Length4096,
    LongerThanPathMax,
    LongHdlmLikeName,  // "sddlm" and 1500 letters: one path component far beyond NAME_MAX
    Blanks,
    Newline,
    Quotes,
    DollarParen,
    Backticks,
    Semicolon,
    Percent,
    Missing,
    RegularFile,
    Directory,
    CharDevice,  // /dev/null (1:3)
    Fifo,
    SymlinkLoop,
    // Only inside the private device namespace (root):
    HdlmDisk,                  // /dev/sddlmab, block 253:16, listed in the inventory
    HdlmPartition,             // /dev/sddlmab1, block 253:17
    ShellTextAfterNewline,     // "sddlmab\n;touch canary": the lookup keeps "sddlmab"
    ShellNamedLinkToHdlmDisk,  // <scratch>/x;touch canary -> /dev/sddlmab
    CharDeviceWithHdlmNumber,  // <scratch>/watchdog-like, character 253:16
    LongPathToHdlmDisk,        // a path of about 2000 characters, a link to /dev/sddlmab
    LongPathToHdlmPartition,   // the same folder, a link to /dev/sddlmab1
};

// How the documentation shows a name.
std::string describe(Name name);
// A name's part of a test's name.
std::string token(Name name);
// True for names whose files need the private device namespace.
bool needsDeviceNodes(Name name);

// A scratch folder with every file the names refer to; removed again on destruction.
class Scratch {
public:
    // Creates the folder under `parent` ("" = TMPDIR or /tmp). Check error() afterwards.
    explicit Scratch(const std::string& parent = "");

    const std::string& error() const { return error_; }
    const std::string& dir() const { return dir_; }
    std::string canary() const { return dir_ + "/canary"; }
    std::string fifo() const { return dir_ + "/fifo"; }

    // Makes the device nodes of the namespace names (root, inside the namespace); "" or why not.
    std::string makeDeviceNodes();

    // The text of a name; nullopt for Null (and None).
    std::optional<std::string> text(Name name) const;

private:
    std::string longFolder() const;

    std::optional<testsupport::TempDir> folder_;
    std::string dir_;  // its path; empty when it could not be made
    std::string error_;
};

// A path of exactly `length` characters under a folder that does not exist, built of
// components short enough for NAME_MAX, so only the total length can make stat refuse it.
std::string pathOfLength(size_t length);

}  // namespace bad_names
