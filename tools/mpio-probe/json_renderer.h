// The --json output: one document per run, its schema documented in the README ("mpio-probe").
#pragma once

#include <nlohmann/json.hpp>

#include "probe_model.h"

namespace probe {

constexpr int kJsonSchemaVersion = 1;

nlohmann::ordered_json toJson(const CommandResult& result);

// The document for a run that never reached the plug-in (it could not be loaded).
nlohmann::ordered_json loadFailureJson(const std::string& command, const std::string& pluginPath,
                                       const std::string& error, int exitStatus);

}  // namespace probe
