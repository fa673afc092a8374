// What the gateway reads from outside before any socket is involved: its command line, the
// request targets of pages, and the viewer's requests on a WebSocket.
#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/GatewayOptions.h"
#include "hosts/gateway/HostRules.h"
#include "hosts/gateway/PageRequest.h"
#include "hosts/gateway/ViewerRequests.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

using namespace gateway;

TEST(GatewayOptions, RecordersByNameOnly) {
  GatewayOptions options;
  std::string error;
  ASSERT_TRUE(parseGatewayArguments(
      {"--listen", "127.0.0.1:0", "--recorder", "gate=192.0.2.10:7070", "--recorder", "yard_2=cam.example:1"}, options,
      error))
      << error;
  EXPECT_EQ(options.listenPort, 0);
  ASSERT_EQ(options.recorders.size(), 2u);
  EXPECT_EQ(findRecorder(options, "gate")->host, "192.0.2.10");
  EXPECT_EQ(findRecorder(options, "yard_2")->port, 1);
  EXPECT_EQ(findRecorder(options, "192.0.2.10"), nullptr);

  const std::vector<std::vector<std::string>> refused = {
      {},                                                                   // no recorder at all
      {"--recorder", "gate"},                                               // no address
      {"--recorder", "ga/te=127.0.0.1:1"},                                  // a name that is not a path segment
      {"--recorder", "gate=127.0.0.1:0"},                                   // no port 0 for a recorder
      {"--recorder", "gate=127.0.0.1:1", "--recorder", "gate=127.0.0.1:2"}, // a name twice
      {"--recorder", "gate=:70"},                                           // no host
      {"--recorder", "gate=h:1", "--max-connections", "0"},
      {"--recorder", "gate=h:1", "--bogus"},
      {"--recorder", "gate=h:1", "--public-name", "evil.example/x"},
      {"--recorder", "gate=h:1", "--frame-ancestors", "'self'; script-src *"},
      {"--recorder", "gate=h:1", "--secret-file", "s", "--no-access-control"},
      {"--recorder", "gate=h:1", "--recorder"},
  };
  for (const auto& arguments : refused) {
    GatewayOptions ignored;
    EXPECT_FALSE(parseGatewayArguments(arguments, ignored, error)) << arguments.size();
    EXPECT_FALSE(error.empty());
  }
}

TEST(GatewayOptions, SignCommandLine) {
  SignOptions sign;
  std::string error;
  ASSERT_TRUE(
      parseSignArguments({"--secret-file", "F", "--recorder", "gate", "--id", "1,-2", "--ttl", "8h"}, sign, error))
      << error;
  EXPECT_EQ(sign.ids, (std::vector<std::int32_t>{1, -2}));
  EXPECT_EQ(sign.ttlSeconds, 8 * 3600);
  const std::vector<std::vector<std::string>> refused = {
      {"--recorder", "gate", "--id", "1", "--ttl", "1h"},                        // no secret file
      {"--secret-file", "F", "--recorder", "g/x", "--id", "1", "--ttl", "1h"},   // not a recorder name
      {"--secret-file", "F", "--recorder", "gate", "--ttl", "1h"},               // no id
      {"--secret-file", "F", "--recorder", "gate", "--id", "1,", "--ttl", "1h"}, // an empty id
      {"--secret-file", "F", "--recorder", "gate", "--id", "1"},                 // no ttl
  };
  for (const auto& arguments : refused) {
    SignOptions ignored;
    EXPECT_FALSE(parseSignArguments(arguments, ignored, error)) << arguments.size();
  }
  struct Duration {
    const char* text;
    std::int64_t seconds; // 0: refused
  };
  for (const Duration d : {Duration{"90", 90},
                           {"90s", 90},
                           {"15m", 900},
                           {"8h", 28800},
                           {"7d", 604800},
                           {"366d", 366 * 86400},
                           {"367d", 0},
                           {"0s", 0},
                           {"h", 0},
                           {"-1h", 0},
                           {"1w", 0},
                           {"", 0}}) {
    std::int64_t seconds = 0;
    EXPECT_EQ(parseDuration(d.text, seconds), d.seconds != 0) << d.text;
    if (d.seconds != 0) {
      EXPECT_EQ(seconds, d.seconds) << d.text;
    }
  }
}

TEST(HostRules, OnlyTheGatewaysOwnNamesAndOrigins) {
  GatewayOptions options;
  options.publicNames = {"Cams.Example"};
  const HostRules rules(options, 8080);
  struct Case {
    const char* host;
    bool allowed;
  };
  for (const Case c : {Case{"127.0.0.1:8080", true},
                       {"localhost:8080", true},
                       {"LocalHost:8080", true},
                       {"[::1]:8080", true},
                       {"cams.example", true}, // a public name, through any proxy port
                       {"cams.example:443", true},
                       {"rebind.example:8080", false}, // a rebinding page's own name
                       {"127.0.0.1", false},           // port 80 is not this gateway's
                       {"127.0.0.1:8081", false},
                       {"127.0.0.1:8080:1", false},
                       {"[::1", false},
                       {"localhost:80a", false},
                       {"", false}})
    EXPECT_EQ(rules.hostAllowed(c.host), c.allowed) << c.host;

  EXPECT_TRUE(rules.originAllowed("http://127.0.0.1:8080", "127.0.0.1:8080", false));
  EXPECT_TRUE(rules.originAllowed("", "127.0.0.1:8080", false));
  EXPECT_FALSE(rules.originAllowed("http://rebind.example:8080", "127.0.0.1:8080", false));
  EXPECT_FALSE(rules.originAllowed("https://cams.example", "cams.example", false)); // https only via a proxy
  EXPECT_TRUE(rules.originAllowed("https://cams.example", "cams.example", true));
  options.allowedOrigins = {"https://portal.example"};
  EXPECT_TRUE(rules.originAllowed("https://portal.example", "cams.example", false));
}

TEST(AccessToken, SignedLinksAllowOnlyWhatTheyName) {
  const std::vector<std::string> secrets = {"new-secret-0123456789", "old-secret-0123456789"};
  const std::int64_t now = 1765000000;
  const std::string token = signToken({"gate", {1, 2}, now + 60}, secrets[1]); // signed before a rotation
  AccessGrant grant;
  ASSERT_EQ(verifyToken(token, secrets, now, grant), TokenCheck::Valid);
  EXPECT_TRUE(grant.allows("gate", 2));
  EXPECT_FALSE(grant.allows("gate", 3));
  EXPECT_FALSE(grant.allows("yard", 1));

  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string out = token;
    out.replace(out.find(from), from.size(), to);
    return out;
  };
  std::string lastCharFlipped = token;
  lastCharFlipped.back() = lastCharFlipped.back() == 'A' ? 'E' : 'A'; // both spell the two padding bits as 0
  struct Case {
    std::string token;
    TokenCheck expected;
  };
  const Case cases[] = {
      {"", TokenCheck::Missing},
      {"gate.1.99", TokenCheck::Malformed},
      {token + ".x", TokenCheck::Malformed},
      {token.substr(0, token.size() - 1), TokenCheck::Malformed},
      {replaced("gate.", "ga/e."), TokenCheck::Malformed},
      {replaced(".1,2.", ".1,,2."), TokenCheck::Malformed},
      {std::string(kMaxTokenLength + 1, 'a'), TokenCheck::Malformed},
      {replaced(".1,2.", ".1,3."), TokenCheck::Forged}, // another camera under the same MAC
      {lastCharFlipped, TokenCheck::Forged},
      {signToken({"gate", {1}, now + 60}, "someone-elses-secret"), TokenCheck::Forged},
      {signToken({"gate", {1}, now}, secrets[0]), TokenCheck::Expired},
  };
  for (const Case& c : cases) {
    AccessGrant ignored;
    EXPECT_EQ(verifyToken(c.token, secrets, now, ignored), c.expected) << c.token;
  }
  std::string seventeen = "gate.0";
  for (int i = 1; i < 17; ++i) seventeen += "," + std::to_string(i);
  EXPECT_EQ(verifyToken(seventeen + ".1.AAAA", secrets, now, grant), TokenCheck::Malformed);
}

TEST(AccessToken, SecretFiles) {
  const std::string path = ::testing::TempDir() + "camview-gateway-secrets";
  auto load = [&](const std::string& content, std::vector<std::string>& secrets, std::string& error) {
    std::ofstream(path, std::ios::binary) << content;
    const bool ok = loadSecrets(path, secrets, error);
    std::remove(path.c_str());
    return ok;
  };
  std::vector<std::string> secrets;
  std::string error;
  ASSERT_TRUE(load("# rotated 2026-12\r\nfirst-secret-0123456789\r\n\nsecond-secret-0123456789\n", secrets, error))
      << error;
  EXPECT_EQ(secrets, (std::vector<std::string>{"first-secret-0123456789", "second-secret-0123456789"}));
  EXPECT_FALSE(load("short-secret\n", secrets, error));
  EXPECT_EQ(error.find("short-secret"), std::string::npos); // a secret is never quoted
  EXPECT_FALSE(load("# only a comment\n", secrets, error));
  EXPECT_FALSE(loadSecrets(path + "-missing", secrets, error));
}

TEST(PageRequest, TargetsAreDecodedAndBounded) {
  Target target;
  ASSERT_TRUE(parseTarget("/?recorder=ga%74e&id=1,2&id=3&size=350x261&x", target));
  EXPECT_EQ(target.path, "/");
  GatewayOptions options;
  options.recorders = {{"gate", "127.0.0.1", 1}};
  PageQuery page;
  std::string error;
  bool unknown = false;
  ASSERT_TRUE(parsePageQuery(target, options, page, error, unknown)) << error;
  EXPECT_EQ(page.recorder, "gate");
  EXPECT_EQ(page.ids, (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(page.width, 350);
  EXPECT_EQ(page.height, 261);

  for (const char* bad : {"", "relative", "/%", "/%4", "/%zz", "/?a=%G0"})
    EXPECT_FALSE(parseTarget(bad, target)) << bad;
  EXPECT_FALSE(parseTarget("/" + std::string(kMaxTargetLength, 'a'), target));

  for (const char* query : {"/?recorder=gate&size=15x100", "/?recorder=gate&size=100x4097", "/?recorder=gate&id=x",
                            "/?recorder=gate&id=2147483648", "/?id=1"}) {
    ASSERT_TRUE(parseTarget(query, target));
    EXPECT_FALSE(parsePageQuery(target, options, page, error, unknown)) << query;
    EXPECT_FALSE(unknown);
  }
  std::string many = "/?recorder=gate&id=0"; // a page asks for at most 16 viewers
  for (int i = 0; i < kMaxViewersPerPage; ++i) many += ",1";
  ASSERT_TRUE(parseTarget(many, target));
  EXPECT_FALSE(parsePageQuery(target, options, page, error, unknown));

  ASSERT_TRUE(parseTarget("/?recorder=%3Cscript%3E", target));
  EXPECT_FALSE(parsePageQuery(target, options, page, error, unknown));
  EXPECT_TRUE(unknown);
  EXPECT_EQ(escapeHtml("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
}

TEST(ViewerRequests, SplitPackedAndMalformed) {
  const auto open = encodeViewerRequest({ViewerRequest::Open, -5});
  const auto next = encodeViewerRequest({ViewerRequest::Next, 0});
  std::vector<std::uint8_t> stream(open);
  stream.insert(stream.end(), next.begin(), next.end());

  // Any split of the stream gives the same two requests.
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    ViewerRequestReader reader;
    std::vector<ViewerRequest> requests;
    std::string error;
    ASSERT_TRUE(reader.feed(stream.data(), cut, requests, error));
    ASSERT_TRUE(reader.feed(stream.data() + cut, stream.size() - cut, requests, error));
    ASSERT_EQ(requests.size(), 2u) << cut;
    EXPECT_EQ(requests[0].kind, ViewerRequest::Open);
    EXPECT_EQ(requests[0].connectionId, -5);
    EXPECT_EQ(requests[1].kind, ViewerRequest::Next);
  }

  auto refused = [](std::vector<std::uint8_t> bytes) {
    ViewerRequestReader reader;
    std::vector<ViewerRequest> requests;
    std::string error;
    const bool ok = reader.feed(bytes.data(), bytes.size(), requests, error);
    return !ok && !error.empty() && requests.empty();
  };
  auto patched = [&](std::size_t at, std::uint8_t value) {
    auto bytes = open;
    bytes[at] = value;
    return bytes;
  };
  EXPECT_TRUE(refused(patched(0, 'Q')));  // not "PLPR"
  EXPECT_TRUE(refused(patched(7, 0x7F))); // a length of 2 GiB is never waited for
  EXPECT_TRUE(refused(patched(4, 4)));    // shorter than its own header
  EXPECT_TRUE(refused(patched(16, 9)));   // an unknown request code
  EXPECT_TRUE(refused(patched(12, 15)));  // a "PDAT" item of the wrong size
  EXPECT_TRUE(refused(patched(8, 'X')));  // no "PDAT" item at all
}

} // namespace
