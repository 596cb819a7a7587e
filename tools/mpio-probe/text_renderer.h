// The human-readable output: one aligned line per entry-point call, then what it listed;
// the report as a tree in the manner of lsblk.
#pragma once

#include <string>

#include "probe_model.h"

namespace probe {

std::string renderText(const CommandResult& result);

}  // namespace probe
