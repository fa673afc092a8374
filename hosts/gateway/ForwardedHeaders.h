#pragma once
// Who a request really comes from when a reverse proxy or a load balancer stands between the
// browser and the gateway. Such a proxy is the TCP peer of every connection; it names the
// browser in X-Forwarded-For and the browser's scheme in X-Forwarded-Proto. Anyone can send
// those headers, so they are believed only from the operator's trusted proxies, and only as far
// as trusted proxies wrote them: X-Forwarded-For is read from the right, each trusted proxy
// appending the address it was reached from, and the first address that is not a trusted
// proxy is the client. What the client itself wrote further left is never looked at. When
// the part written by trusted proxies does not parse, the proxy is taken as the client:
// garbage is never believed.
#include <boost/asio/ip/address.hpp>

#include <string_view>
#include <vector>

namespace gateway {

// The most X-Forwarded-For entries read from the right (a chain of proxies is short).
constexpr int kMaxForwardedHops = 16;

struct ForwardedClient {
  boost::asio::ip::address address; // the client: limits, /metrics and figures go by it
  bool overHttps = false;           // the browser reached the proxy over https
  bool viaProxy = false;            // the peer is a trusted proxy
  bool malformed = false;           // a trusted proxy sent headers that do not parse
};

class TrustedProxies {
public:
  // Adds one proxy by its IP address (v4 or v6). False when `text` is not one.
  bool add(std::string_view text);
  bool empty() const { return proxies_.empty(); }
  bool contains(const boost::asio::ip::address& address) const;

  // The client of a request from `peer` with these header values (empty when absent; the
  // values of repeated X-Forwarded-For fields joined with commas, in their order).
  ForwardedClient resolve(const boost::asio::ip::address& peer, std::string_view forwardedFor,
                          std::string_view forwardedProto) const;

private:
  std::vector<boost::asio::ip::address> proxies_;
};

// An IPv4 address carried in IPv6 (::ffff:a.b.c.d, as a dual-stack listener reports it) as
// the IPv4 address, so that one client has one spelling; any other address as it is.
boost::asio::ip::address plainAddress(const boost::asio::ip::address& address);

} // namespace gateway
