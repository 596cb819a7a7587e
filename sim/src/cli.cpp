#include "cli.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "generate.h"

namespace sim {

int cliMain(int argc, char** argv) {
    CLI::App app{"hdlm-sim: a simulated HDLM host for the plug-in, its probe and its tests"};
    app.require_subcommand(1);

    GenerateOptions gen;
    CLI::App* generate = app.add_subcommand("generate", "Write a large topology to stdout");
    generate->add_option("--lus", gen.lus, "Number of LUs (1..512)")->required();
    generate->add_option("--paths", gen.paths, "Paths per LU (1..16)")->required();
    generate->add_option("--partitions", gen.partitions, "Partitions per LU (0..15)")->required();
    generate->add_option("--storage-systems", gen.storageSystems, "Storage systems the LUs are dealt out to");
    generate->add_option("--label", gen.label, "Partition table type: dos or gpt (default: dos up to 4 partitions)");
    generate->add_option("--size-mib", gen.sizeMiB, "Size of each LU in MiB");
    generate->add_option("--loop-lus", gen.loopBackedLUs, "How many LUs with a table get loop devices");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    try {
        if (generate->parsed()) {
            std::cout << toJson(generateTopology(gen));
            return 0;
        }
    } catch (const std::exception& e) {
        std::cerr << "hdlm-sim: " << e.what() << "\n";
        return 2;
    }
    return 2;
}

}  // namespace sim
