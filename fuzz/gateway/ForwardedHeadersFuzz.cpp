// X-Forwarded-For and X-Forwarded-Proto as a client or a proxy may write them (the input: the
// two values separated by a newline). From a trusted proxy the client found is the proxy or
// an address of the header; from anyone else always the peer; garbage is never believed.
#include "hosts/gateway/ForwardedHeaders.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const gateway::TrustedProxies proxies = [] {
    gateway::TrustedProxies trusted;
    if (!trusted.add("10.0.0.1") || !trusted.add("fd00::1")) std::abort();
    return trusted;
  }();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string_view forwardedFor = input.substr(0, newline);
  const std::string_view proto = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  const auto stranger = boost::asio::ip::make_address("192.0.2.7");
  const gateway::ForwardedClient direct = proxies.resolve(stranger, forwardedFor, proto);
  if (direct.address != stranger || direct.viaProxy || direct.overHttps || direct.malformed) std::abort();

  const auto proxy = boost::asio::ip::make_address("10.0.0.1");
  const gateway::ForwardedClient client = proxies.resolve(proxy, forwardedFor, proto);
  if (!client.viaProxy || (client.malformed && client.overHttps)) std::abort();
  // Without an entry the proxy is the client.
  if (forwardedFor.find_first_not_of(" \t") == std::string_view::npos && client.address != proxy) std::abort();
  // A client other than the proxy is never a v4-mapped spelling of an address.
  if (client.address.is_v6() && client.address.to_v6().is_v4_mapped()) std::abort();
  return 0;
}
