// The scripted host world of one bad-input row: the standard HDLM host, varied by the row's
// Script (see bad_input_row.h).
#pragma once

#include "bad_input_row.h"
#include "plugin_instance.h"

namespace bad_input {

// Runs a successful init (unless the script is NoInit), forgets its records, then scripts every
// command and the partition reader for the row's call. Returns "" or what went wrong.
std::string scriptHost(PluginInstance& plugin, Script script);

}  // namespace bad_input
