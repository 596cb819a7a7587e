// hdlm-sim: runs commands on a simulated HDLM host. Called as `dlnkmgr` (through the link that
// `run` puts first on PATH) it is the simulated dlnkmgr.
#include <libgen.h>

#include <cstring>
#include <string>

#include "cli/command_line.h"
#include "dlnkmgr/dlnkmgr_main.h"

int main(int argc, char** argv) {
    std::string self = argc > 0 ? argv[0] : "hdlm-sim";
    std::string base = self.substr(self.find_last_of('/') + 1);
    if (base == "dlnkmgr") return sim::dlnkmgrMain(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "dlnkmgr") == 0)
        return sim::dlnkmgrMain(argc - 1, argv + 1);
    return sim::cliMain(argc, argv);
}
