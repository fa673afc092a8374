#include "hosts/gateway/Metrics.h"

#include <atomic>
#include <initializer_list>
#include <utility>

namespace gateway {

namespace {

template <typename Value>
void metric(std::string& out, const char* name, const char* type, const char* help, Value value) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" + name + " " +
         std::to_string(value) + "\n";
}

void labelled(std::string& out, const char* name, const char* help, const char* label,
              std::initializer_list<std::pair<const char*, const std::atomic<std::uint64_t>*>> values) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " counter\n";
  for (const auto& [value, counter] : values)
    out += std::string(name) + "{" + label + "=\"" + value + "\"} " + std::to_string(counter->load()) + "\n";
}

} // namespace

std::string renderMetrics(const GatewayCounters& c, const HubFigures& hub) {
  std::string out;
  metric(out, "camview_gateway_connections", "gauge", "HTTP and WebSocket connections open now.", c.connections.load());
  metric(out, "camview_gateway_sessions", "gauge", "Browser viewers (WebSockets) open now.", c.viewers.load());
  metric(out, "camview_gateway_cameras", "gauge", "Cameras with a recorder connection now.", hub.cameras);
  metric(out, "camview_gateway_recorder_reconnects_total", "counter", "Recorder connections lost and made again.",
         hub.recorderLosses);
  metric(out, "camview_gateway_pictures_relayed_total", "counter", "Pictures written to browsers.",
         c.picturesSent.load());
  metric(out, "camview_gateway_bytes_relayed_total", "counter", "Bytes of recorder messages written to browsers.",
         c.bytesSent.load());
  metric(out, "camview_gateway_pictures_skipped_total", "counter",
         "Pictures a slow browser did not get because a newer one came first.", c.picturesSkipped.load());
  labelled(out, "camview_gateway_refusals_total", "Connections and requests refused or dropped, by reason.", "reason",
           {{"host", &c.refusedHost},
            {"origin", &c.refusedOrigin},
            {"client_limit", &c.refusedClient},
            {"server_limit", &c.refused},
            {"request_timeout", &c.requestTimeouts},
            {"write_timeout", &c.writeTimeouts},
            {"over_budget", &c.overBudget},
            {"idle", &c.idleClosed},
            {"bad_request", &c.rejectedRequests},
            {"protocol", &c.protocolErrors},
            {"no_memory", &c.allocationFailures}});
  labelled(out, "camview_gateway_token_failures_total", "Signed links refused, by reason.", "reason",
           {{"missing", &c.tokenMissing},
            {"malformed", &c.tokenMalformed},
            {"forged", &c.tokenForged},
            {"expired", &c.tokenExpired},
            {"other_camera", &c.tokenOtherCamera}});
  metric(out, "camview_gateway_accept_pauses_total", "counter",
         "Times accepting paused because descriptors or buffers ran out.", c.acceptPauses.load());
  metric(out, "camview_gateway_forwarded_malformed_total", "counter",
         "Trusted proxy requests whose X-Forwarded-For or -Proto did not parse (the proxy taken as client).",
         c.forwardedMalformed.load());
  return out;
}

} // namespace gateway
