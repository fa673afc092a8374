#pragma once
// GET /metrics: the gateway's figures in the Prometheus text format (version 0.0.4), for the
// operator's monitoring. Counters end in _total; gauges are the state now.
#include "hosts/gateway/GatewayCounters.h"

#include <cstdint>
#include <string>

namespace gateway {

struct HubFigures {
  int cameras = 0;
  std::uint64_t recorderLosses = 0; // recorder connections lost (each is reconnected)
};

std::string renderMetrics(const GatewayCounters& counters, const HubFigures& hub);

} // namespace gateway
