// A path's standing changed while the simulated host runs: an administrator places it offline or
// online (dlnkmgr offline/online), or the kernel loses or finds its SCSI disk (hdlm-sim fault).
// Each works on the state loaded under its lock; the caller saves and publishes it.
#pragma once
#include <string>
#include <vector>

#include "topology/topology.h"

namespace sim {

enum class StatusChange {
    Done,
    UnknownPath,     // HDLM lists no path with that PathID
    LastOnlinePath,  // offline: no other path of the LU would stay online
    DeviceGone,      // online: the path's SCSI disk has gone
};

// Offline(C) for the path `pathId`; refused for an LU's last online path.
StatusChange placeOffline(Topology& t, int pathId);
// Online for the path `pathId`; refused while its disk has gone.
StatusChange placeOnline(Topology& t, int pathId);

// The kernel loses the SCSI device `device` (sdf): a path HDLM manages shows `-` and
// Offline(E), or Online(E) when it was its LU's last online path (an Offline(C) path stays so);
// one HDLM has not taken over leaves unseen. Returns what changed, for people; throws
// std::runtime_error naming the device when it is no path of the host or already gone.
std::string removeScsiDevice(Topology& t, const std::string& device);
// The kernel finds it again: a gone path shows its device again, Online (or still Offline(C));
// one that `delete -path` dropped meanwhile is a new device for `add -path`.
std::string returnScsiDevice(Topology& t, const std::string& device);

// `dlnkmgr delete -path`: HDLM forgets its gone paths (should a device come back, it is a new one)
// and the LUs left without paths, whose names are freed unless paths HDLM has not taken over yet
// keep them. Returns the SCSI devices of the paths deleted.
std::vector<std::string> deleteGonePaths(Topology& t);
// `dlnkmgr add -path`: HDLM takes over the paths attached since, with new PathIDs, and names
// the LUs that show for the first time. Returns how many paths it added.
size_t addAttachedPaths(Topology& t);

}  // namespace sim
