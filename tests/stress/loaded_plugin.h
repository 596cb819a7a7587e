// The plug-in's exports as the stress calls them: the shared loader's struct.
#pragma once

#include "plugin_library.h"

namespace stress {

using PluginApi = testsupport::PluginExports;

}  // namespace stress
