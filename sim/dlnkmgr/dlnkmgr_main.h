// The simulated dlnkmgr: `dlnkmgr OPERATION PARAMETERS...` against the state file named by
// HDLM_SIM_STATE.
#pragma once

namespace sim {

int dlnkmgrMain(int argc, char** argv);

}  // namespace sim
