// libFuzzer's start-up hook for the targets that stat the scratch nodes (they change the working
// directory, so the command line's paths must be made absolute first).
#include "device_nodes.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzhost::makeFuzzerPathsAbsolute(argc, argv);
    return 0;
}
