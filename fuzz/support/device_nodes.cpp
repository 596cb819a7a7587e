#include "device_nodes.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace fuzzhost {

namespace {

struct Link {
    const char* name;
    const char* target;
};

// The machine's memory devices' numbers, as block nodes of the scratch folder: only a block node
// names an HDLM device, and these are only ever stat'ed. Where nodes can't be made (not root),
// links to the character nodes themselves stand there: every lookup then answers "no HDLM device".
struct MemoryNode {
    const char* name;
    unsigned minor;
};
const MemoryNode memoryNodes[] = {{"null", 3}, {"zero", 5}, {"full", 7}, {"urandom", 9}};

// hd7 looks like partition 7 of hd; part15 like partition 15 of part, whose node is missing.
const Link links[] = {
    {"hd7", "null"}, {"hd", "zero"}, {"part15", "full"}, {"disk3", "urandom"}, {"disk", "null"}};

// Removed, with the links in it, when the process exits.
std::optional<testsupport::TempDir>& scratchDir() {
    static std::optional<testsupport::TempDir> dir;
    return dir;
}

}  // namespace

void enterScratchNodes() {
    if (scratchDir()) return;
    try {
        scratchDir().emplace("hdlm-fuzz");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz harness: %s\n", e.what());
        std::abort();
    }
    const std::string& dir = scratchDir()->path();
    for (const MemoryNode& node : memoryNodes) {
        const std::string path = scratchDir()->file(node.name);
        if (mknod(path.c_str(), S_IFBLK | 0600, makedev(kMemoryMajor, node.minor)) != 0 &&
            symlink(("/dev/" + std::string(node.name)).c_str(), path.c_str()) != 0) {
            std::perror("fuzz harness: no node or link in the scratch folder");
            std::abort();
        }
    }
    for (const Link& link : links) {
        if (symlink(link.target, scratchDir()->file(link.name).c_str()) != 0) {
            std::perror("fuzz harness: symlink in the scratch folder failed");
            std::abort();
        }
    }
    if (chdir(dir.c_str()) != 0) {
        std::perror("fuzz harness: chdir to the scratch folder failed");
        std::abort();
    }
}

void makeFuzzerPathsAbsolute(int* argc, char*** argv) {
    static std::vector<std::string> rewritten;
    static std::vector<char*> pointers;
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) return;
    const std::string base = std::string(cwd) + "/";
    std::free(cwd);
    const auto absolute = [&](const std::string& path) {
        return path.empty() || path[0] == '/' ? path : base + path;
    };
    bool artifactPrefix = false;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (i > 0 && arg[0] != '-') {
            arg = absolute(arg);  // a corpus folder or an input file
        } else {
            for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path=", "-dict="}) {
                const std::string name = flag;
                if (arg.compare(0, name.size(), name) != 0) continue;
                arg = name + absolute(arg.substr(name.size()));
                artifactPrefix = artifactPrefix || name != "-dict=";
            }
        }
        rewritten.push_back(arg);
    }
    if (!artifactPrefix) rewritten.push_back("-artifact_prefix=" + base);
    for (std::string& arg : rewritten) pointers.push_back(&arg[0]);
    pointers.push_back(nullptr);
    *argc = static_cast<int>(rewritten.size());
    *argv = pointers.data();
}

std::string chooseDevice(unsigned char selector, const std::string& fallback) {
    static const char* const names[] = {"null", "zero",  "full",        "urandom",
                                        "hd7",  "hd",    "part15",      "disk3",
                                        "disk", "./hd7", "/dev/nosuch", "missing4"};
    const unsigned count = sizeof names / sizeof names[0];
    return selector % 16 < count ? names[selector % 16] : fallback;
}

}  // namespace fuzzhost
