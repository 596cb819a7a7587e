#include "cli/command_line.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>

#include "cli/fault_subcommand.h"
#include "cli/run_subcommand.h"
#include "project_version.h"
#include "topology_writers/capture.h"
#include "topology_writers/generate.h"

namespace sim {

namespace {

const char* const kRunUsage =
    "usage: hdlm-sim run [-v] [--no-loop] [--root DIR [--bind SRC[:DST]]...] [ENVIRONMENT]\n"
    "                    TOPOLOGY.json [--] COMMAND [ARG...]\n"
    "       hdlm-sim shell [-v] [--no-loop] [--root DIR [--bind SRC[:DST]]...] [ENVIRONMENT]\n"
    "                    TOPOLOGY.json\n"
    "  -v, --verbose      report each setup step on stderr\n"
    "  --no-loop          no loop devices: HDLM disks get fake-major nodes\n"
    "  --root DIR         run the command inside the root file system DIR (e.g. an older\n"
    "                     distribution), with the simulated /dev, /proc and dlnkmgr; what the\n"
    "                     command writes there is thrown away when it ends\n"
    "  --bind SRC[:DST]   with --root: bring the folder or file SRC in at DST (default: SRC);\n"
    "                     the command starts in the caller's directory when a bind holds it\n"
    " ENVIRONMENT: a host agent's, inside the simulated host only\n"
    "  --userland bash|busybox|mawk\n"
    "                     bash: bash is /bin/sh (RHEL, SLES); busybox: busybox's sh, awk and\n"
    "                     grep; mawk: mawk is awk (plain Debian/Ubuntu)\n"
    "  --lang LOCALE      LANG=LOCALE, LC_ALL, LANGUAGE and every other LC_* unset (as systemd\n"
    "                     starts a service); the locale must be generated on this machine\n"
    "  --old-grep         grep obeys GREP_OPTIONS, as GNU grep before 3.6 did\n"
    "  --env NAME=VALUE   set a variable for the command (repeatable)\n"
    "  --service-path     dlnkmgr only at /opt/DynamicLinkManager/bin/dlnkmgr, and systemd's\n"
    "                     PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin (hdlm-sim\n"
    "                     fault: /dev/.hdlm-sim/bin/hdlm-sim); with --root: --env and\n"
    "                     --service-path only\n";

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

// run and shell take their options by hand: everything after the topology is the command's.
int runOrShell(int argc, char** argv) {
    bool shell = std::string(argv[1]) == "shell";
    RunOptions o;
    int i = 2;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-v" || a == "--verbose")
            o.verbose = true;
        else if (a == "--no-loop")
            o.noLoop = true;
        else if (a == "--old-grep" && o.topology.empty())
            o.environment.oldGrep = true;
        else if (a == "--service-path" && o.topology.empty())
            o.environment.servicePath = true;
        else if ((a == "--root" || a == "--bind" || a == "--userland" || a == "--lang" ||
                  a == "--env") &&
                 o.topology.empty()) {
            if (i + 1 >= argc) {
                std::cerr << "hdlm-sim " << argv[1] << ": " << a << " needs a value\n" << kRunUsage;
                return 2;
            }
            std::string value = argv[++i];
            if (a == "--root") {
                o.root = value;
                continue;
            }
            if (a == "--userland") {
                if (value != "bash" && value != "busybox" && value != "mawk") {
                    std::cerr << "hdlm-sim " << argv[1] << ": --userland '" << value
                              << "': must be bash, busybox or mawk\n"
                              << kRunUsage;
                    return 2;
                }
                o.environment.userland = value;
                continue;
            }
            if (a == "--lang") {
                o.environment.lang = value;
                continue;
            }
            try {
                if (a == "--env")
                    o.environment.variables.push_back(parseEnvAssignment(value));
                else
                    o.binds.push_back(parseBind(value));
            } catch (const std::exception& e) {
                std::cerr << "hdlm-sim " << argv[1] << ": " << e.what() << "\n";
                return 2;
            }
        } else if (a == "-h" || a == "--help") {
            std::cout << kRunUsage;
            return 0;
        } else if (a == "--" && o.topology.empty())
            continue;
        else if (a.size() > 1 && a[0] == '-' && o.topology.empty()) {
            std::cerr << "hdlm-sim " << argv[1] << ": unknown option '" << a << "'\n" << kRunUsage;
            return 2;
        } else if (o.topology.empty())
            o.topology = a;
        else
            break;
    }
    if (o.topology.empty()) {
        std::cerr << "hdlm-sim " << argv[1] << ": no topology given\n" << kRunUsage;
        return 2;
    }
    if (!o.binds.empty() && o.root.empty()) {
        std::cerr << "hdlm-sim " << argv[1] << ": --bind needs --root\n" << kRunUsage;
        return 2;
    }
    std::string notThere = unsupportedInOtherRoot(o.environment);
    if (!o.root.empty() && !notThere.empty()) {
        std::cerr << "hdlm-sim " << argv[1] << ": " << notThere
                  << " cannot be used with --root: they would change this machine's binaries "
                     "and locales, not the root's; drop them, or run without --root\n";
        return 2;
    }
    if (i < argc && std::string(argv[i]) == "--") ++i;
    o.command.assign(argv + i, argv + argc);
    if (shell) {
        if (!o.command.empty()) {
            std::cerr << "hdlm-sim shell: takes no command (use hdlm-sim run)\n" << kRunUsage;
            return 2;
        }
        const char* sh = getenv("SHELL");
        if (!o.root.empty())
            o.command = {"/bin/sh"};  // the caller's shell may not exist in that root
        else
            o.command = {sh && *sh ? sh
                                   : (access("/bin/bash", X_OK) == 0 ? "/bin/bash" : "/bin/sh")};
        if (geteuid() == 0)
            std::cerr << "hdlm-sim: simulated HDLM host from " << o.topology
                      << "; leave the shell to tear it down\n";
    } else if (o.command.empty()) {
        std::cerr << "hdlm-sim run: no command given\n" << kRunUsage;
        return 2;
    }
    return runSimulated(o);
}

}  // namespace

int cliMain(int argc, char** argv) {
    if (argc > 1 && (std::string(argv[1]) == "run" || std::string(argv[1]) == "shell"))
        return runOrShell(argc, argv);
    CLI::App app{"hdlm-sim: a simulated HDLM host for the plug-in, its probe and its tests",
                 "hdlm-sim"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("hdlm-sim ") + TSMPIO_HDLM_VERSION,
                         "Print the version and exit");
    app.footer(std::string(kRunUsage) + kFaultUsage);
    app.add_subcommand("run", "Run a command on a simulated HDLM host (see below)");
    app.add_subcommand("shell", "Open a shell on a simulated HDLM host (see below)");
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

    // CLI11 reports a stray word as a missing subcommand: name it, as other tools do.
    auto known = [&app](const char* name) {
        try {
            return app.get_subcommand(name) != nullptr;
        } catch (const CLI::OptionNotFound&) {
            return false;
        }
    };
    if (argc > 1 && argv[1][0] != '-' && !known(argv[1])) {
        std::cerr << "hdlm-sim: unknown subcommand '" << argv[1]
                  << "'\nRun with --help for more information.\n";
        return 2;
    }
    if (argc > 2 && std::string(argv[1]) == "fault" && argv[2][0] != '-' &&
        std::string(argv[2]) != "remove" && std::string(argv[2]) != "return") {
        std::cerr << "hdlm-sim fault: unknown action '" << argv[2]
                  << "' (remove or return)\nRun with --help for more information.\n";
        return 2;
    }
    if (argc > 1 && argv[1][0] == '-' && std::string(argv[1]) != "-h" &&
        std::string(argv[1]) != "--help" && std::string(argv[1]) != "--version") {
        std::cerr << "hdlm-sim: unknown option '" << argv[1]
                  << "'\nRun with --help for more information.\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
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
