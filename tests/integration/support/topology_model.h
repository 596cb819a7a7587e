// The shared model of a topology's expected answers, under the names this suite's tests use.
#pragma once
#include "host_model.h"

namespace integ {

using topology::ExpectedPartition;
using topology::HostModel;
using topology::TopologyLu;
using topology::TopologyPartition;
using topology::TopologyPath;

}  // namespace integ
