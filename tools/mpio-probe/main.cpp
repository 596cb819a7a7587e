// mpio-probe: loads a multipath plug-in and calls its entry points as a host would.
#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.h"
#include "exit_status.h"
#include "json_renderer.h"
#include "plugin_locator.h"
#include "text_renderer.h"

namespace {

struct CommandLine {
    std::string pluginPath;
    bool json = false;
    probe::ProbeOptions options;
};

// Parses argv; returns an exit status when the run ends here (help, usage error).
std::optional<int> parseCommandLine(int argc, char** argv, CommandLine& line) {
    CLI::App app{
        "Loads a multipath plug-in (libTsMPIO_HDLM.so or any plug-in with its interface) and "
        "calls its entry points as a host would, showing every result.",
        "mpio-probe"};
    app.require_subcommand(1, 1);
    app.add_option("--plugin", line.pluginPath,
                   "the plug-in to load (default: ../lib/libTsMPIO_HDLM.so beside this binary)");
    app.add_flag("--json", line.json, "print one JSON document instead of text");
    app.add_flag("--no-init", line.options.skipInit, "do not call init before the command");
    int capacity = -1;
    app.add_option("--capacity", capacity,
                   "entries in every list array, fixed: no retry with a bigger one (default " +
                       std::to_string(probe::kDefaultCapacity) + ", then one retry)")
        ->check(CLI::Range(0, probe::kMaxCapacity));
    for (const auto& entry : probe::commandTable()) {
        CLI::App* sub = app.add_subcommand(entry.name, entry.description);
        sub->fallthrough();  // global options may follow the command
        if (entry.takesDevice) {
            sub->add_option("DEVICE", line.options.device, "the device, e.g. /dev/sddlmaa")
                ->required();
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        return status == 0 ? probe::kExitSuccess : probe::kExitUsage;
    }
    line.options.command = app.get_subcommands().front()->get_name();
    if (capacity >= 0) line.options.capacity = {capacity, true};
    return std::nullopt;
}

int runProbe(const CommandLine& line) {
    std::string path = line.pluginPath;
    try {
        if (path.empty()) path = probe::locateDefaultPlugin();
        probe::LoadedPlugin plugin = probe::LoadedPlugin::load(path);
        probe::CommandResult result = probe::runCommand(plugin, line.options);
        if (line.json) {
            std::cout << probe::toJson(result).dump(
                             2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                      << "\n";
        } else {
            std::cout << probe::renderText(result);
        }
        return result.exitStatus;
    } catch (const probe::LoadError& e) {
        std::cerr << "mpio-probe: " << e.what() << "\n";
        if (line.json) {
            std::cout << probe::loadFailureJson(line.options.command, path, e.what(),
                                                probe::kExitUsage)
                             .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                      << "\n";
        }
        return probe::kExitUsage;
    }
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
