// The report's device tree, laid out as lsblk lays out block devices.
#pragma once

#include <string>

#include "probe_model.h"

namespace probe {

// Each disk with its path devices and partitions beneath it, and a closing summary line.
std::string renderReportTree(const ReportOutcome& report);

}  // namespace probe
