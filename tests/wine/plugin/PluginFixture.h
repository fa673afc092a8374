#pragma once
// The fixture of the plug-in suites: the test browser finds npcamview.dll in its plug-ins
// folder by MIME type and loads it; each test gets a fresh browser page.
#include "tests/wine/plugin/PluginLibrary.h"
#include "tests/wine/plugin/TestBrowser.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pluginsupport {

constexpr char kMimeType[] = "application/x-quellmark-wavelet";

inline std::wstring pluginPath() {
  const std::string folder = CAMVIEW_PLUGIN_FOLDER;
  return findPluginForMimeType(std::wstring(folder.begin(), folder.end()), kMimeType);
}

// The attributes of an element that shows connection `id` of the recorder at `port`.
inline std::vector<Attribute> recorderAttributes(int port, int id) {
  return {{"ip", "127.0.0.1"}, {"port", std::to_string(port)}, {"id", std::to_string(id)}};
}

class PluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    const std::wstring path = pluginPath();
    ASSERT_FALSE(path.empty()) << "no plug-in for " << kMimeType;
    std::string error;
    ASSERT_TRUE(plugin.load(path, error)) << error;
    browser = std::make_unique<TestBrowser>(plugin);
  }
  void TearDown() override {
    browser.reset();
    if (plugin.module()) {
      EXPECT_EQ(plugin.unload(), NPERR_NO_ERROR);
    }
  }

  // Pumps until the element's window has taken `count` more decoded frames than now.
  bool waitForFrames(HWND site, int count, int timeoutMs = 30000) {
    const int target = browser->taken(site, platform::kMsgFrameDecoded) + count;
    return browser->pumpUntil([&] { return browser->taken(site, platform::kMsgFrameDecoded) >= target; }, timeoutMs);
  }

  PluginLibrary plugin;
  std::unique_ptr<TestBrowser> browser;
};

} // namespace pluginsupport
