// The simulated dlnkmgr: `dlnkmgr OPERATION PARAMETERS...` against the state file named by
// HDLM_SIM_STATE.
#pragma once
#include <string>
#include <vector>

namespace sim {

// The operations a fault of the topology can be keyed by, as the parser below names each call;
// " NAME" stands for a device name (a fault keyed by it wins over the one without -hdev).
const std::vector<std::string>& faultOperations();
// Whether `key` names one of them (NAME: any one word).
bool isFaultOperation(const std::string& key);

int dlnkmgrMain(int argc, char** argv);

}  // namespace sim
