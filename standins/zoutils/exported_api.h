// Declares the public class with default visibility while the rest of the library is hidden.
#pragma once
#pragma GCC visibility push(default)
#include "FXString.h"
#pragma GCC visibility pop
