#pragma once
// Which names this gateway answers to, and which pages may open its WebSockets. A request's
// Host is whatever the client sends: a web site that points its own name at this machine
// (DNS rebinding) would otherwise be answered as if it were the gateway's page. So only the
// listen address, the loopback names (each with the gateway's port) and the operator's public
// names are answered; and a page may open WebSockets only from the gateway's own origin (http,
// or https when a trusted proxy says the browser came over https) or an allowed origin.
#include "hosts/gateway/GatewayOptions.h"

#include <string>
#include <string_view>

namespace gateway {

class HostRules {
public:
  HostRules(const GatewayOptions& options, int port);

  // True when `host` (a Host header: NAME, NAME:PORT, [V6]:PORT) names this gateway.
  bool hostAllowed(std::string_view host) const;
  // True when a page of `origin` may open a WebSocket; `host` has passed hostAllowed.
  // An empty origin is not a browser's (browsers always send one) and is let through.
  bool originAllowed(std::string_view origin, std::string_view host, bool overHttps) const;

private:
  const GatewayOptions& options_;
  std::string port_;
};

// ASCII lower case: host names and origins compare without case.
std::string lowerCase(std::string_view text);

} // namespace gateway
