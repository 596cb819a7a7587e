// integration_host: a host process for the plug-in, run by integration_test inside
// `hdlm-sim run TOPOLOGY -- integration_host --gtest_filter=…`. It records the loop devices
// behind the simulated HDLM nodes, so that its caller can check they are released afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "device_nodes.h"
#include "host_under_test.h"

namespace {

class LoopDeviceRecorder : public ::testing::Environment {
public:
    explicit LoopDeviceRecorder(std::string path) : path_(std::move(path)) {}
    void SetUp() override { record(); }
    void TearDown() override { record(); }  // a refresh may have added nodes

private:
    void record() {
        std::ofstream out(path_, std::ios::app);
        for (unsigned minor : integ::loopMinorsBehindHdlmNodes()) out << minor << "\n";
    }
    std::string path_;
};

// Every buffer of every call is guarded; a write outside one fails the run, whichever test
// made it.
class BufferDamageCheck : public ::testing::Environment {
    void TearDown() override {
        for (const std::string& damage : integ::damageSeen())
            ADD_FAILURE() << "a call wrote outside a caller buffer: " << damage;
    }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* state = std::getenv("HDLM_SIM_STATE");
    const char* topology = std::getenv("INTEGRATION_TOPOLOGY");
    if (!state || !*state || !topology || !*topology) {
        std::fprintf(
            stderr,
            "integration_host runs inside a simulated HDLM host: integration_test starts it with\n"
            "  hdlm-sim run TOPOLOGY.json -- integration_host --gtest_filter=...\n"
            "and INTEGRATION_TOPOLOGY naming the same topology. Run integration_test (ctest -L "
            "integration).\n");
        return 2;
    }
    if (const char* report = std::getenv("INTEGRATION_LOOP_REPORT"))
        ::testing::AddGlobalTestEnvironment(new LoopDeviceRecorder(report));
    ::testing::AddGlobalTestEnvironment(new BufferDamageCheck);
    return RUN_ALL_TESTS();
}
