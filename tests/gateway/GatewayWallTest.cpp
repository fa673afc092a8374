// The camera wall: the cameras each recorder is configured with, which of them a page may
// show (a signed link names the ones it allows), its pages, and what reaches its HTML.
#include "hosts/gateway/GatewayOptions.h"
#include "hosts/gateway/PageRequest.h"

#include <gtest/gtest.h>

namespace {

using namespace gateway;
using Ids = std::vector<std::int32_t>;

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

TEST(GatewayWall, RecorderCameraLists) {
  Ids sixtyFour;
  for (std::int32_t id = 0; id < 64; ++id) sixtyFour.push_back(id);
  struct Case {
    std::string recorder;
    std::string host; // empty: refused
    Ids cameras;
  };
  const Case cases[] = {
      {"gate=10.0.0.5:7070", "10.0.0.5", {0}},
      {"gate=10.0.0.5:7070:1-4", "10.0.0.5", {1, 2, 3, 4}},
      {"door=cam.example:7070:0,3,5-7", "cam.example", {0, 3, 5, 6, 7}},
      {"v6=[::1]:7070:255", "::1", {255}},
      {"v6=::1:7070", "::1", {0}}, // an unbracketed IPv6 host has no list
      {"gate=h:7070:0-63", "h", sixtyFour},
      {"gate=h:7070:0-64", "", {}}, // more than 64 cameras
      {"gate=h:7070:256", "", {}},
      {"gate=h:7070:-1", "", {}},
      {"gate=h:7070:5-2", "", {}},
      {"gate=h:7070:1,2-4,3", "", {}}, // a camera twice
      {"gate=h:7070:", "", {}},
      {"gate=h:7070:1,,2", "", {}},
      {"gate=h:7070:1-2-3", "", {}},
      {"gate=h:0:1", "", {}},
  };
  for (const Case& c : cases) {
    GatewayOptions options;
    std::string error;
    const bool parsed = parseGatewayArguments({"--recorder", c.recorder}, options, error);
    EXPECT_EQ(parsed, !c.host.empty()) << c.recorder << ": " << error;
    if (!parsed || c.host.empty()) continue;
    EXPECT_EQ(options.recorders[0].host, c.host) << c.recorder;
    EXPECT_EQ(options.recorders[0].cameras, c.cameras) << c.recorder;
  }
}

TEST(GatewayWall, PagesShowOnlyAllowedCamerasWithEscapedLinks) {
  GatewayOptions options;
  options.recorders = {{"gate", "h", 1, {}}, {"door", "h", 2, {0, 3}}};
  for (std::int32_t id = 1; id <= 18; ++id) options.recorders[0].cameras.push_back(id);

  // Every configured camera, sixteen to a page; a recorder split across pages has a section
  // on each.
  const std::vector<WallCamera> all = wallCameras(options, nullptr);
  ASSERT_EQ(all.size(), 20u);
  ASSERT_EQ(wallPageCount(all.size()), 2);
  const std::string first = renderWallPage(all, {1, ""});
  const std::string second = renderWallPage(all, {2, ""});
  EXPECT_EQ(count(first, "<camview-viewer "), 16u);
  EXPECT_EQ(count(second, "<camview-viewer "), 4u);
  EXPECT_NE(first.find("recorder=\"gate\" id=\"16\""), std::string::npos);
  EXPECT_EQ(first.find("<h2>door</h2>"), std::string::npos);
  EXPECT_NE(second.find("recorder=\"gate\" id=\"17\""), std::string::npos);
  EXPECT_NE(second.find("href=\"/camera/door/3.mjpg\""), std::string::npos);
  EXPECT_NE(second.find("href=\"/?page=1\""), std::string::npos);

  // A signed link shows the configured cameras it allows, nothing else, and its token is
  // carried into every link of the page, escaped.
  const AccessGrant grant{"gate", {2, 17, 40}, 0};
  const std::vector<WallCamera> allowed = wallCameras(options, &grant);
  ASSERT_EQ(allowed.size(), 2u);
  EXPECT_EQ(allowed[0].id, 2);
  EXPECT_EQ(allowed[1].id, 17);
  const std::string page = renderWallPage(allowed, {1, "gate.2\"<b>&x"});
  EXPECT_EQ(count(page, "<camview-viewer "), 2u);
  EXPECT_EQ(count(page, "?token=gate.2%22%3Cb%3E%26x\""), 4u);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<nav>"), std::string::npos);
  const AccessGrant otherRecorder{"yard", {0}, 0};
  EXPECT_TRUE(wallCameras(options, &otherRecorder).empty());

  struct Query {
    const char* target;
    std::int64_t page; // 0: refused
  };
  for (const Query q : {Query{"/", 1}, {"/?page=2&token=t", 2}, {"/?page=0", 0}, {"/?page=x", 0}, {"/?page=-1", 0}}) {
    Target target;
    ASSERT_TRUE(parseTarget(q.target, target));
    WallQuery wall;
    std::string error;
    EXPECT_EQ(parseWallQuery(target, wall, error), q.page != 0) << q.target;
    if (q.page) {
      EXPECT_EQ(wall.page, q.page) << q.target;
    }
  }
}

} // namespace
