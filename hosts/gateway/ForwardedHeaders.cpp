#include "hosts/gateway/ForwardedHeaders.h"

#include <algorithm>
#include <string>

namespace gateway {

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// One X-Forwarded-For entry: a bare address, an IPv6 one possibly in brackets. Ports,
// names, "unknown" and obfuscated identifiers are not addresses.
bool parseEntry(std::string_view entry, boost::asio::ip::address& address) {
  entry = trimmed(entry);
  if (entry.size() >= 2 && entry.front() == '[' && entry.back() == ']') entry = entry.substr(1, entry.size() - 2);
  // The longest IPv6 text with an IPv4 tail is 45 characters; a scope id may follow.
  if (entry.empty() || entry.size() > 64) return false;
  boost::system::error_code error;
  const auto parsed = boost::asio::ip::make_address(std::string(entry), error);
  if (error) return false;
  address = plainAddress(parsed);
  return true;
}

bool equalsNoCase(std::string_view text, std::string_view lower) {
  return text.size() == lower.size() && std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
           return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
         });
}

} // namespace

boost::asio::ip::address plainAddress(const boost::asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6());
  return address;
}

bool TrustedProxies::add(std::string_view text) {
  boost::asio::ip::address address;
  if (text.find_first_of("[] \t,") != std::string_view::npos || !parseEntry(text, address)) return false;
  proxies_.push_back(address);
  return true;
}

bool TrustedProxies::contains(const boost::asio::ip::address& address) const {
  return std::find(proxies_.begin(), proxies_.end(), plainAddress(address)) != proxies_.end();
}

ForwardedClient TrustedProxies::resolve(const boost::asio::ip::address& peer, std::string_view forwardedFor,
                                        std::string_view forwardedProto) const {
  ForwardedClient client;
  client.address = plainAddress(peer);
  if (!contains(client.address)) return client;
  client.viaProxy = true;

  // Right to left: each trusted proxy's entry is skipped; the first other address is the client.
  boost::asio::ip::address found = client.address;
  bool malformed = false;
  std::string_view rest = forwardedFor;
  for (int hop = 0; !trimmed(rest).empty(); ++hop) {
    const std::size_t comma = rest.rfind(',');
    const std::string_view entry = comma == std::string_view::npos ? rest : rest.substr(comma + 1);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(0, comma);
    boost::asio::ip::address address;
    if (hop >= kMaxForwardedHops || !parseEntry(entry, address)) {
      malformed = true;
      break;
    }
    found = address;
    if (!contains(address)) break;
  }
  client.malformed = malformed;
  if (!malformed) client.address = found;

  // The scheme is one token; a list or anything else is not believed to mean https.
  const std::string_view proto = trimmed(forwardedProto);
  if (!malformed) client.overHttps = equalsNoCase(proto, "https");
  if (!proto.empty() && !equalsNoCase(proto, "https") && !equalsNoCase(proto, "http")) client.malformed = true;
  return client;
}

} // namespace gateway
