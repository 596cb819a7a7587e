// The shared process runner, under the names this suite's tests use.
#pragma once
#include "process_runner.h"

namespace integ {

using testsupport::CommandOptions;
using testsupport::CommandResult;
using testsupport::reapStrayChildren;
using testsupport::runCommand;

}  // namespace integ
