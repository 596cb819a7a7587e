#include "cli/command_line.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/fault_subcommand.h"
#include "cli/run_subcommand.h"
#include "project_version.h"
#include "topology_writers/capture.h"
#include "topology_writers/generate.h"

namespace sim {

namespace {

const char* const kFaultUsage =
    "\n"
    "usage: hdlm-sim fault remove DEVICE\n"
    "       hdlm-sim fault return DEVICE\n"
    "  inside a simulated host (HDLM_SIM_STATE names it), the kernel loses or finds the SCSI\n"
    "  path device DEVICE (sdf): its node and /proc/partitions lines go or come back, and\n"
    "  dlnkmgr shows its path with - and Offline(E) (Online(E) for an LU's last online path)\n"
    "  or with its device again; a path dropped by `dlnkmgr delete -path` meanwhile comes back\n"
    "  as a new device for `dlnkmgr add -path`. Exit 2 outside a simulated host or for a\n"
    "  device it cannot change\n";

// What run and shell are given on the command line, before the checks that need all of it.
struct RunLine {
    RunOptions options;
    std::vector<std::string> binds;      // SRC[:DST]
    std::vector<std::string> variables;  // NAME=VALUE
};

CLI::App* addRunOrShell(CLI::App& app, const std::string& name, const std::string& description,
                        RunLine& line) {
    RunOptions& o = line.options;
    CLI::App* sub = app.add_subcommand(name, description);
    // From the first word after the topology that is none of these options on, every word is
    // the command's, its options too, and comes back untouched from remaining().
    sub->prefix_command();
    // An option given twice: the last counts, so that a wrapper's default can be overridden.
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    sub->add_flag("-v,--verbose", o.verbose, "Report each setup step on stderr");
    sub->add_flag("--no-loop", o.noLoop, "No loop devices: HDLM disks get fake-major nodes");
    CLI::Option* root =
        sub->add_option("--root", o.root,
                        "Run the command inside the root file system DIR (e.g. an older\n"
                        "distribution), with the simulated /dev, /proc and dlnkmgr; what the\n"
                        "command writes there is thrown away when it ends")
            ->type_name("DIR");
    sub->add_option("--bind", line.binds,
                    "With --root: bring the folder or file SRC in at DST (default: SRC);\n"
                    "the command starts in the caller's directory when a bind holds it\n"
                    "(repeatable)")
        ->option_text("SRC[:DST]")
        ->allow_extra_args(false)
        ->needs(root);
    const std::string environment = "Environment (a host agent's, inside the simulated host only)";
    sub->add_option("--userland", o.environment.userland,
                    "bash: bash is /bin/sh (RHEL, SLES); busybox: busybox's sh, awk and\n"
                    "grep; mawk: mawk is awk (plain Debian/Ubuntu)")
        ->check(CLI::IsMember({"bash", "busybox", "mawk"}))
        ->option_text("bash|busybox|mawk")
        ->group(environment);
    sub->add_option("--lang", o.environment.lang,
                    "LANG=LOCALE, LC_ALL, LANGUAGE and every other LC_* unset (as systemd\n"
                    "starts a service); the locale must be generated on this machine")
        ->type_name("LOCALE")
        ->group(environment);
    sub->add_flag("--old-grep", o.environment.oldGrep,
                  "grep obeys GREP_OPTIONS, as GNU grep before 3.6 did")
        ->group(environment);
    sub->add_option("--env", line.variables, "Set a variable for the command (repeatable)")
        ->option_text("NAME=VALUE")
        ->allow_extra_args(false)
        ->group(environment);
    sub->add_flag("--service-path", o.environment.servicePath,
                  "dlnkmgr only at /opt/DynamicLinkManager/bin/dlnkmgr, and systemd's\n"
                  "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin (hdlm-sim\n"
                  "fault: /dev/.hdlm-sim/bin/hdlm-sim); with --root: --env and\n"
                  "--service-path only")
        ->group(environment);
    sub->add_option("TOPOLOGY.json", o.topology, "The simulated host's topology (JSON)")
        ->type_name("")
        ->required();
    return sub;
}

// run's command. CLI11 hands a `--` met after a subcommand's last positional up to the main
// command, which would then parse the command's words as its own; a positional still to fill
// keeps it here. This one never fills (its check refuses every word): the words stay in
// remaining() as given, where an option holding them would split one like `[a,b]`.
void addCommandWords(CLI::App* run) {
    run->validate_positionals();
    run->add_option("COMMAND",
                    "The command and its arguments, all of them its own\n"
                    "(-- before it when it begins with -)")
        ->expected(1, -1)
        ->check([](const std::string&) { return std::string("left to remaining()"); });
}

// The checks CLI11 does not make: the words it left, the values the sandbox parses, and the
// environment options that cannot apply in another root. Throws CLI::ValidationError.
RunOptions runOptions(const CLI::App& sub, const RunLine& line, bool shell) {
    RunOptions o = line.options;
    // prefix_command() leaves an option it does not know before the command too, and the `--`
    // that ended the options: no command word stands before either.
    std::vector<std::string> words = sub.remaining();
    if (!words.empty() && words[0] == "--")
        words.erase(words.begin());
    else if (!words.empty() && words[0].size() > 1 && words[0][0] == '-')
        throw CLI::ValidationError("unknown option '" + words[0] + "'");
    o.command = words;
    try {
        for (const std::string& b : line.binds) o.binds.push_back(parseBind(b));
        for (const std::string& v : line.variables)
            o.environment.variables.push_back(parseEnvAssignment(v));
    } catch (const std::runtime_error& e) {
        throw CLI::ValidationError(e.what());
    }
    std::string notThere = unsupportedInOtherRoot(o.environment);
    if (!o.root.empty() && !notThere.empty())
        throw CLI::ValidationError(notThere +
                                   " cannot be used with --root: they would change this machine's "
                                   "binaries and locales, not the root's; drop them, or run "
                                   "without --root");
    if (shell && !o.command.empty())
        throw CLI::ValidationError("takes no command (use hdlm-sim run)");
    if (!shell && o.command.empty()) throw CLI::ValidationError("no command given");
    return o;
}

int openShell(RunOptions o) {
    const char* sh = getenv("SHELL");
    if (!o.root.empty())
        o.command = {"/bin/sh"};  // the caller's shell may not exist in that root
    else
        o.command = {sh && *sh ? sh : (access("/bin/bash", X_OK) == 0 ? "/bin/bash" : "/bin/sh")};
    if (geteuid() == 0)
        std::cerr << "hdlm-sim: simulated HDLM host from " << o.topology
                  << "; leave the shell to tear it down\n";
    return runSimulated(o);
}

// A usage error names the subcommand it is about. Where a word names no subcommand, CLI11 says
// only that one is missing: name the word instead.
std::string usageError(const CLI::App* app, const CLI::Error& e) {
    std::string where = app->get_name();
    while (app->remaining().empty() && !app->get_subcommands().empty()) {
        app = app->get_subcommands().front();
        where += " " + app->get_name();
    }
    std::string what = e.what();
    std::vector<std::string> stray = app->remaining();
    if (app->get_subcommands().empty() && app->get_require_subcommand_min() > 0 && !stray.empty())
        what = (stray[0][0] == '-' ? "unknown option '" : "unknown subcommand '") + stray[0] + "'";
    return where + ": " + what + "\nRun with --help for more information.\n";
}

}  // namespace

int cliMain(int argc, char** argv) {
    CLI::App app{"hdlm-sim: a simulated HDLM host for the plug-in, its probe and its tests",
                 "hdlm-sim"};
    // Exactly one, so that a word after run's topology that names a subcommand (dlnkmgr) is the
    // command's.
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("hdlm-sim ") + TSMPIO_HDLM_VERSION,
                         "Print the version and exit");
    app.failure_message(usageError);
    RunLine line;
    CLI::App* run = addRunOrShell(app, "run", "Run a command on a simulated HDLM host", line);
    addCommandWords(run);
    CLI::App* shell = addRunOrShell(
        app, "shell", "Open a shell on a simulated HDLM host (run's options; no command)", line);
    // The main help carries run's, so that it tells every option.
    app.footer([run] { return run->help("hdlm-sim") + kFaultUsage; });
    app.add_subcommand("dlnkmgr", "Act as the simulated dlnkmgr (what run puts on PATH)");

    std::string faultDevice;
    CLI::App* fault = app.add_subcommand(
        "fault", "Inside a simulated host: a SCSI path device goes or comes back (see below)");
    fault->require_subcommand(1);
    CLI::App* faultRemove = fault->add_subcommand("remove", "The kernel loses the device");
    CLI::App* faultReturn = fault->add_subcommand("return", "The kernel finds the device again");
    for (CLI::App* action : {faultRemove, faultReturn})
        action->add_option("DEVICE", faultDevice, "A path's SCSI device (sdf)")->required();

    GenerateOptions gen;
    CLI::App* generate = app.add_subcommand("generate", "Write a large topology to stdout");
    generate->add_option("--lus", gen.lus, "Number of LUs (1..512)")->required();
    generate->add_option("--paths", gen.paths, "Paths per LU (1..16)")->required();
    generate->add_option("--partitions", gen.partitions, "Partitions per LU (0..15)")->required();
    generate->add_option("--storage-systems", gen.storageSystems,
                         "Storage systems the LUs are dealt out to");
    generate->add_option("--label", gen.label,
                         "Partition table type: dos or gpt (default: dos up to 4 partitions)");
    generate->add_option("--size-mib", gen.sizeMiB, "Size of each LU in MiB");
    generate->add_option("--loop-lus", gen.loopBackedLUs,
                         "How many LUs with a table get loop devices");

    CaptureOptions cap;
    CLI::App* capture = app.add_subcommand(
        "capture", "Record what the plug-in can see on this host, as a topology, to stdout");
    capture->add_option("--dev", cap.devDir, "Where the device nodes are");
    capture->add_option("--timeout", cap.timeoutSeconds, "Seconds each dlnkmgr command may take");
    capture->add_flag("-v,--verbose", cap.verbose, "Report each step on stderr");

    RunOptions options;
    try {
        app.parse(argc, argv);
        if (run->parsed()) options = runOptions(*run, line, false);
        if (shell->parsed()) options = runOptions(*shell, line, true);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (run->parsed()) return runSimulated(options);
    if (shell->parsed()) return openShell(options);
    if (fault->parsed()) return faultSubcommand(faultRemove->parsed(), faultDevice);
    try {
        if (capture->parsed()) {
            std::cout << toJson(captureHost(cap));
            return 0;
        }
        if (generate->parsed()) {
            std::cout << toJson(generateTopology(gen));
            return 0;
        }
    } catch (const std::exception& e) {
        std::cerr << "hdlm-sim: " << e.what() << "\n";
        return capture->parsed() ? 1 : 2;
    }
    return 2;
}

}  // namespace sim
