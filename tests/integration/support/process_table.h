// The shared census of processes, under the names this suite's tests use.
#pragma once
#include "census.h"

namespace integ {

using ProcessInfo = census::Process;
using census::describe;
using census::liveChildren;
using census::processTable;
using census::runningInSession;

}  // namespace integ
