#include "hosts/gateway/HostRules.h"

namespace gateway {

namespace {

// Splits NAME[:PORT] or [V6][:PORT]; the brackets stay with the name.
bool splitHost(std::string_view host, std::string_view& name, std::string_view& port) {
  if (host.empty() || host.size() > std::size_t(kMaxHostLength) + 7) return false;
  std::size_t colon = std::string_view::npos;
  if (host.front() == '[') {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    if (close + 1 < host.size()) {
      if (host[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = host.find(':');
    if (colon != std::string_view::npos && host.find(':', colon + 1) != std::string_view::npos) return false;
  }
  name = host.substr(0, colon);
  port = colon == std::string_view::npos ? std::string_view("80") : host.substr(colon + 1);
  if (name.empty() || port.empty()) return false;
  for (char c : port)
    if (c < '0' || c > '9') return false;
  return true;
}

} // namespace

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

HostRules::HostRules(const GatewayOptions& options, int port) : options_(options), port_(std::to_string(port)) {}

bool HostRules::hostAllowed(std::string_view host) const {
  std::string_view name, port;
  if (!splitHost(host, name, port)) return false;
  const std::string lowered = lowerCase(name);
  // A public name is reached through whatever port a proxy or a NAT chooses.
  for (const std::string& publicName : options_.publicNames)
    if (lowered == lowerCase(publicName)) return true;
  if (port != port_) return false;
  const std::string listen =
      options_.listenHost.find(':') != std::string::npos ? "[" + options_.listenHost + "]" : options_.listenHost;
  return lowered == "localhost" || lowered == "127.0.0.1" || lowered == "[::1]" || lowered == lowerCase(listen);
}

bool HostRules::originAllowed(std::string_view origin, std::string_view host, bool overHttps) const {
  if (origin.empty()) return true;
  for (const std::string& allowed : options_.allowedOrigins)
    if (allowed == "*" || lowerCase(allowed) == lowerCase(origin)) return true;
  const std::string own = lowerCase(host);
  const std::string lowered = lowerCase(origin);
  // An origin names the default port by leaving it out, as Host does.
  return lowered == "http://" + own || (overHttps && lowered == "https://" + own);
}

} // namespace gateway
