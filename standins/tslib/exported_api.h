// Declares the public classes with default visibility while the rest of the library is hidden.
#pragma once
#pragma GCC visibility push(default)
#include "EvDebug.h"
#include "TsProcess.h"
#pragma GCC visibility pop
