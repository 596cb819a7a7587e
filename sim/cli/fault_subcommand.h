// hdlm-sim fault remove|return DEVICE: inside a running simulated host (found through
// HDLM_SIM_STATE), the kernel loses or finds a SCSI path device.
#pragma once
#include <string>

namespace sim {

// `remove` true: the device goes; false: it returns. 0 when done, 2 for a command outside a
// simulated host or a device it cannot change, 1 when the new state cannot be written.
int faultSubcommand(bool remove, const std::string& device);

}  // namespace sim
