// Looks for processes that are still running in a process group.
#pragma once
#include <sys/types.h>

namespace tslib {

// True while a process of group `pgid` is alive. Zombies don't count: a killed grandchild whose
// parent died waits for init to reap it, and it can do no more harm.
bool group_has_live_members(pid_t pgid) noexcept;

}  // namespace tslib
