// What the gateway reads from outside before any socket is involved: its command line, the
// request targets of pages, and the viewer's requests on a WebSocket.
#include "hosts/gateway/GatewayOptions.h"
#include "hosts/gateway/PageRequest.h"
#include "hosts/gateway/ViewerRequests.h"

#include <gtest/gtest.h>

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
  };
  for (const auto& arguments : refused) {
    GatewayOptions ignored;
    EXPECT_FALSE(parseGatewayArguments(arguments, ignored, error)) << arguments.size();
    EXPECT_FALSE(error.empty());
  }
}

TEST(PageRequest, TargetsAreDecodedAndBounded) {
  Target target;
  ASSERT_TRUE(parseTarget("/?recorder=ga%74e&id=1,2&id=3&size=350x261&x", target));
  EXPECT_EQ(target.path, "/");
  GatewayOptions options;
  options.recorders = {{"gate", "127.0.0.1", 1}};
  PageSpec page;
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
  std::string many = "/?recorder=gate&id=0";
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
