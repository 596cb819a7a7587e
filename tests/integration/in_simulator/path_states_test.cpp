// Every entry point on a host in every path state (the table in path_state_table): as the
// topology sets them, after the changes made while the host runs, after a refresh, after every
// gone disk has come back, and after the refresh that takes them over.
#include <gtest/gtest.h>

#include "host_under_test.h"
#include "path_state_table.h"
#include "process_runner.h"

namespace integ {
namespace {

void make(const PathChange& change, testsupport::HostModel& model) {
    testsupport::ProgramResult r = testsupport::runShell(change.command());
    EXPECT_EQ(r.status, 0) << change.command() << ": " << r.describe();
    change.applyTo(model);
}

TEST(PathStates, EveryEntryPointAnswersAsTheModelExpects) {
    HostUnderTest& host = hostUnderTest();
    ASSERT_TRUE(host.init.text) << "init failed on the simulated host";
    testsupport::HostModel model = host.model;
    std::vector<std::string> names;  // every name HDLM has used: none may answer once it is gone
    auto expectAnswers = [&](const char* when) {
        SCOPED_TRACE(when);
        names = unionOf(names, model.deviceNames());
        expectHostShows(host.plugin, model, names);
    };
    auto refresh = [&] {
        const Answer answer = host.plugin.refresh();
        EXPECT_EQ(answer.result, 0) << answer.error.message;
        model.deleteGonePaths();
        model.addAttachedPaths();
    };

    expectAnswers("as the topology sets them");
    for (const PathChange& change : pathChangesWhileRunning()) make(change, model);
    expectAnswers("after the changes made while the host runs");
    refresh();
    expectAnswers("after refreshMPIO");
    const std::vector<std::string> gone = model.goneDevices();
    ASSERT_FALSE(gone.empty()) << "the table lets no disk go";
    for (const std::string& device : gone) make({PathChange::Return, device}, model);
    expectAnswers("after every gone disk has come back");
    refresh();
    expectAnswers("after refreshMPIO takes them over");
    EXPECT_TRUE(model.goneDevices().empty());
}

}  // namespace
}  // namespace integ
