// Whom the gateway takes a request to come from, for every way a client or a proxy can write
// the forwarding headers.
#include "hosts/gateway/ForwardedHeaders.h"

#include <gtest/gtest.h>

namespace {

using boost::asio::ip::make_address;
using gateway::TrustedProxies;

TEST(ForwardedHeaders, OnlyTrustedProxiesAreBelievedAndOnlyWhatTheyWrote) {
  TrustedProxies proxies;
  ASSERT_TRUE(proxies.add("10.0.0.1"));
  ASSERT_TRUE(proxies.add("fd00::1"));
  for (const char* bad : {"", "proxy.example", "10.0.0.1:80", "[fd00::1]", "10.0.0.0/8", "10.0.0.1 "})
    EXPECT_FALSE(proxies.add(bad)) << bad;

  struct Case {
    const char* peer;
    const char* forwardedFor;
    const char* proto;
    const char* client;
    bool https, malformed;
  };
  const Case cases[] = {
      // Anyone else's headers are ignored.
      {"192.0.2.7", "198.51.100.1", "https", "192.0.2.7", false, false},
      // A trusted proxy names its client and its scheme; a v4-mapped peer is the same proxy.
      {"10.0.0.1", "198.51.100.1", "https", "198.51.100.1", true, false},
      {"::ffff:10.0.0.1", " 198.51.100.1 ", "HTTPS", "198.51.100.1", true, false},
      {"fd00::1", "[2001:db8::5]", "http", "2001:db8::5", false, false},
      {"10.0.0.1", "", "", "10.0.0.1", false, false},
      // The right-most address that is not a trusted proxy; what the client wrote left of it
      // (forged or garbage) is never read.
      {"10.0.0.1", "203.0.113.9, 198.51.100.1", "https", "198.51.100.1", true, false},
      {"10.0.0.1", "garbage,,  198.51.100.1, fd00::1", "https", "198.51.100.1", true, false},
      {"10.0.0.1", "10.0.0.1, fd00::1", "", "10.0.0.1", false, false},
      // Garbage where a trusted proxy wrote: the proxy is the client, and nothing is believed.
      {"10.0.0.1", "198.51.100.1:4711", "https", "10.0.0.1", false, true},
      {"10.0.0.1", "198.51.100.1,", "https", "10.0.0.1", false, true},
      {"10.0.0.1", "unknown", "", "10.0.0.1", false, true},
      {"10.0.0.1", "198.51.100.1", "https, http", "198.51.100.1", false, true},
      {"10.0.0.1", "198.51.100.1", "ftp", "198.51.100.1", false, true},
  };
  for (const Case& c : cases) {
    const gateway::ForwardedClient client = proxies.resolve(make_address(c.peer), c.forwardedFor, c.proto);
    EXPECT_EQ(client.address, make_address(c.client)) << c.peer << " / " << c.forwardedFor;
    EXPECT_EQ(client.overHttps, c.https) << c.peer << " / " << c.forwardedFor << " / " << c.proto;
    EXPECT_EQ(client.malformed, c.malformed) << c.peer << " / " << c.forwardedFor << " / " << c.proto;
  }

  // A chain longer than any real one is not walked to its end.
  std::string chain = "198.51.100.1";
  for (int i = 0; i < gateway::kMaxForwardedHops; ++i) chain += ", 10.0.0.1";
  EXPECT_TRUE(proxies.resolve(make_address("10.0.0.1"), chain, "").malformed);
}

} // namespace
