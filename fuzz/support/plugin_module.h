// The plug-in's single module compiled into the harness itself, so that its file-local helpers
// (stripDev, getParentDev, ...) and module state (admin_majors) can be called and inspected.
// Include it in exactly one translation unit per binary.
#pragma once
#include "TsMPIO_HDLM.cpp"  // NOLINT(bugprone-suspicious-include): compiled in on purpose
