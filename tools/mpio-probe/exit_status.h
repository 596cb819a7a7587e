// The probe's exit status: 0 success, 1 a failure or a negative answer from the plug-in.
// (2, for usage errors and plug-ins that cannot be loaded, is decided before any call.)
#pragma once

#include "probe_model.h"

namespace probe {

constexpr int kExitSuccess = 0;
constexpr int kExitPluginSaidNo = 1;
constexpr int kExitUsage = 2;

int exitStatusOf(const CommandResult& result);

// True when the body holds a failure or a "no" (used for the whole report, too).
bool bodyFailed(const CommandBody& body);

}  // namespace probe
