// hdlm-sim's command line as the system tools beside it behave: the version, usage errors that
// name the offending word with status 2, and a help that lists every subcommand (the manual
// page is made from it).
#include <gtest/gtest.h>

#include "project_version.h"
#include "sim_fixtures.h"

namespace {

const std::string kSim = HDLM_SIM_BIN;

TEST(CommandLine, VersionUsageErrorsAndHelp) {
    struct Case {
        std::string args;
        int status;
        std::string out;   // the whole of stdout, or "*" for: anything
        std::string says;  // found in stderr (usage errors) or stdout (help)
    } cases[] = {
        {"--version", 0, std::string("hdlm-sim ") + TSMPIO_HDLM_VERSION + "\n", ""},
        {"bogus", 2, "", "hdlm-sim: unknown subcommand 'bogus'\nRun with --help"},
        {"--bogus", 2, "", "hdlm-sim: unknown option '--bogus'\nRun with --help"},
        {"generate --lus 1 --paths 1 --partitions 0 --bogus", 2, "", "--bogus"},
        {"run --bogus x.json -- true", 2, "", "hdlm-sim run: unknown option '--bogus'\nRun with"},
        {"shell x.json ls", 2, "", "hdlm-sim shell: takes no command"},
        {"--help", 0, "*", "  capture  "},
        {"--help", 0, "*", "  generate  "},
        {"--help", 0, "*", "  shell  "},
        {"--help", 0, "*", "--root DIR"},
        {"--help", 0, "*", "--userland bash|busybox|mawk"},
        {"run --userland zsh x.json -- true", 2, "", "--userland: zsh not in {bash,busybox,mawk}"},
        {"--help", 0, "*", "hdlm-sim fault remove DEVICE\n       hdlm-sim fault return DEVICE"},
        {"fault", 2, "", "A subcommand is required"},
        {"fault remove", 2, "", "DEVICE is required"},
        {"fault vanish sdc", 2, "", "vanish"},
    };
    for (const Case& c : cases) {
        auto r = simtest::sh(kSim + " " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        if (c.out != "*") {
            EXPECT_EQ(r.out, c.out) << c.args;
        }
        const std::string& where = c.status == 0 ? r.out : r.err;
        EXPECT_NE(where.find(c.says), std::string::npos) << c.args << ": " << where;
    }
}

}  // namespace
