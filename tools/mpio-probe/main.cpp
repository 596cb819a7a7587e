// mpio-probe: loads a multipath plug-in and calls its entry points as a host would. This file is
// the command line: the commands, where the plug-in lies by default, usage errors.
#include <dlfcn.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <climits>
#include <filesystem>
#include <iostream>

#include "probe.h"
#include "project_version.h"

#ifndef MPIO_PROBE_MULTIARCH
#define MPIO_PROBE_MULTIARCH "x86_64-linux-gnu"
#endif

namespace {

using plugin_loader::LoadError;

// --- the commands -----------------------------------------------------------------------------

struct CommandSpec {
    std::string name;         // as typed on the command line
    std::string description;  // one line for --help
    bool takesDevice = false;
};

// Every command, in the order --help lists them.
const std::vector<CommandSpec>& commandTable() {
    static const std::vector<CommandSpec> table = {
        {"vendor", "show the vendor string (getVendorName)", false},
        {"init", "call init alone and show what it returns", false},
        {"devices", "list the multipath devices (getMPIODevices)", false},
        {"is-mpio", "ask whether DEVICE is a multipath device (isMPIODevice)", true},
        {"underlying", "list the path devices beneath DEVICE (getUnderlyingDevices)", true},
        {"is-partition", "ask whether DEVICE is a partition, and of which disk (isPartitionDevice)",
         true},
        {"partitions", "list the partitions of the disk DEVICE (getPartitionDevices)", true},
        {"refresh", "make the multipath driver drop gone paths and take new ones (refreshMPIO)",
         false},
        {"delete", "call deleteMPIODevice for DEVICE", true},
        {"report", "the whole picture: devices, their paths and partitions, as a tree", false},
    };
    return table;
}

// --- where the plug-in lies when no --plugin is given -----------------------------------------

const char* const kPluginFile = "libTsMPIO_HDLM.so";
// The plug-in's own folder in an install: under lib/<multiarch> (.deb) or lib64 (.rpm).
const char* const kPluginDir = "tsmpio-hdlm-plugin";

std::vector<std::string> defaultPluginCandidates(const std::string& binaryDir) {
    // <prefix>/bin/mpio-probe: the plug-in lies under <prefix>/lib or <prefix>/lib64.
    const std::string prefix = std::filesystem::path(binaryDir).parent_path().string();
    const std::string multiarch = prefix + "/lib/" + MPIO_PROBE_MULTIARCH + "/";
    return {
        prefix + "/lib/" + kPluginFile,                       // build tree: build/bin, build/lib
        multiarch + kPluginDir + "/" + kPluginFile,           // installed from the .deb
        prefix + "/lib64/" + kPluginDir + "/" + kPluginFile,  // installed from the .rpm
        multiarch + kPluginFile,                              // installed in the library folder
    };
}

std::string ownBinaryDir() {
    std::array<char, PATH_MAX> buffer{};
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    std::string path(buffer.data(), static_cast<size_t>(length));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string locateDefaultPlugin() {
    std::string dir = ownBinaryDir();
    if (dir.empty()) {
        throw LoadError(
            "cannot find the plug-in: /proc/self/exe cannot be read, so the probe does not know "
            "where it lies\n  give the plug-in with --plugin PATH");
    }
    std::string tried;
    for (const auto& candidate : defaultPluginCandidates(dir)) {
        if (access(candidate.c_str(), F_OK) == 0) return candidate;
        tried += "\n  " + candidate;
    }
    throw LoadError("cannot find the plug-in " + std::string(kPluginFile) +
                    " beside the probe; tried:" + tried +
                    "\n  build it (make) or give it with --plugin PATH");
}
// --- the command line -------------------------------------------------------------------------

struct CommandLine {
    std::string pluginPath;
    bool json = false;
    probe::ProbeOptions options;
};

// A usage error the way system tools report one: what was wrong, then where to look.
int usageError(const std::string& what) {
    std::cerr << "mpio-probe: " << what << "\nTry 'mpio-probe --help' for more information.\n";
    return probe::kExitUsage;
}

// What was wrong with the command line, naming the word that was not understood.
std::string usageProblem(const CLI::App& app, const CLI::ParseError& e) {
    std::vector<std::string> rest = app.remaining();
    if (!rest.empty()) {
        const std::string& word = rest.front();
        if (word.size() > 1 && word[0] == '-') return "unrecognized option '" + word + "'";
        if (app.get_subcommands().empty()) return "unknown command '" + word + "'";
        return "unexpected argument '" + word + "'";
    }
    if (app.get_subcommands().empty()) {
        std::string names;
        for (const auto& entry : commandTable()) names += (names.empty() ? "" : ", ") + entry.name;
        return "a command is required: one of " + names;
    }
    return e.what();
}

// Parses argv; returns an exit status when the run ends here (help, version, usage error).
std::optional<int> parseCommandLine(int argc, char** argv, CommandLine& line) {
    CLI::App app{
        "Loads a multipath plug-in (libTsMPIO_HDLM.so or any plug-in with its interface) and "
        "calls its entry points as a host would, showing every result.",
        "mpio-probe"};
    app.require_subcommand(1, 1);
    app.set_version_flag("--version", std::string("mpio-probe ") + TSMPIO_HDLM_VERSION,
                         "print the version and exit");
    app.add_option("--plugin", line.pluginPath,
                   "the plug-in to load (default: ../lib/libTsMPIO_HDLM.so beside this binary)");
    app.add_flag("--json", line.json, "print one JSON document instead of text");
    app.add_flag("--no-init", line.options.skipInit, "do not call init before the command");
    int capacity = -1;
    app.add_option("--capacity", capacity,
                   "entries in every list array, fixed: no retry with a bigger one (default " +
                       std::to_string(probe::kDefaultCapacity) + ", then one retry)")
        ->check(CLI::Range(0, probe::kMaxCapacity));
    for (const auto& entry : commandTable()) {
        CLI::App* sub = app.add_subcommand(entry.name, entry.description);
        sub->fallthrough();  // global options may follow the command
        if (entry.takesDevice) {
            sub->add_option("DEVICE", line.options.device, "the device, e.g. /dev/sddlmaa")
                ->required();
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usageError(usageProblem(app, e));
    }
    line.options.command = app.get_subcommands().front()->get_name();
    if (capacity >= 0)
        line.options.capacity = {capacity, false, probe::kMaxCapacity,
                                 "the capacity is fixed by --capacity"};
    return std::nullopt;
}

// The probe's advice after a load failure.
std::string withHint(const LoadError& e) {
    if (!e.missing().empty()) {
        return std::string(e.what()) +
               "\n  it was not built for this interface (see TsMPIO_HDLM.h); rebuild it or give "
               "another with --plugin PATH";
    }
    return std::string(e.what()) + "\n  check the path, or give the plug-in with --plugin PATH";
}

int runProbe(const CommandLine& line) {
    std::string path = line.pluginPath;
    std::string error;
    try {
        if (path.empty()) path = locateDefaultPlugin();
        // RTLD_NOW: an unresolved symbol inside the plug-in fails here, not halfway through a
        // call. RTLD_LOCAL: as a host loads it, beside other plug-ins exporting the same names.
        auto plugin = plugin_loader::LoadedPlugin::open(path, RTLD_NOW | RTLD_LOCAL);
        probe::CommandResult result = probe::runCommand(plugin, line.options);
        std::cout << (line.json ? probe::renderJson(result) : probe::renderText(result));
        return result.exitStatus;
    } catch (const LoadError& e) {
        error = path.empty() ? e.what() : withHint(e);
    }
    std::cerr << "mpio-probe: " << error << "\n";
    if (line.json) {
        std::cout << probe::loadFailureJson(line.options.command, path, error, probe::kExitUsage);
    }
    return probe::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        CommandLine line;
        if (auto status = parseCommandLine(argc, argv, line)) return *status;
        return runProbe(line);
    } catch (const std::exception& e) {
        std::cerr << "mpio-probe: internal error: " << e.what() << "\n";
        return probe::kExitUsage;
    }
}
