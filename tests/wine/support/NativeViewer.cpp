#include "tests/wine/support/NativeViewer.h"

#include "platform/Socket.h"
#include "presentation/EmbeddedViewer.h"
#include "tests/wine/support/MessageLoop.h"
#include "tests/wine/support/RecorderProcess.h"

#include <windows.h>

namespace winetest {

NativeViewer::NativeViewer(const char* host, int port, int connectionId, int width, int height)
    : width_(width), height_(height) {
  platform::networkStartup(); // this process's own sockets, apart from the host's
  embed::ViewerSettings settings;
  settings.host = host;
  settings.port = port;
  settings.connectionId = connectionId;
  settings.fontModule = GetModuleHandleW(nullptr);
  settings.fontIds = presentation::kPluginFontIds;
  viewer_ = embed::createViewer(settings);
  embed::attachWindow(viewer_, window_.handle());
  embed::startViewer(viewer_);
}

NativeViewer::~NativeViewer() {
  embed::destroyViewer(viewer_);
  platform::networkCleanup();
}

bool NativeViewer::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const ViewerHostWindow host{window_.handle(), width_, height_, false};
  const auto handle = [&](const platform::WindowMessage& message) {
    ++handled_[message.message];
    if (message.message == platform::kMsgStatus && message.lParam != 0) ++statusTexts_;
    embed::dispatchMessage(viewer_, message, host);
  };
  return winetest::pumpUntil(done, timeoutMs, [&] { window_.pump(handle); });
}

int NativeViewer::handled(unsigned message, bool withText) const {
  if (withText) return statusTexts_;
  const auto found = handled_.find(message);
  return found == handled_.end() ? 0 : found->second;
}

paint::SoftwareCanvas NativeViewer::paint() const {
  paint::SoftwareCanvas canvas(width_, height_);
  embed::paint(viewer_, canvas, paint::Rect{0, 0, width_, height_});
  return canvas;
}

paint::SoftwareCanvas nativeFixedPicture(int seed, int width, int height) {
  RecorderProcess recorder({"fixed:" + std::to_string(seed)});
  if (!recorder.started()) return {};
  NativeViewer native("127.0.0.1", recorder.port(), 1, width, height);
  if (!native.pumpUntil([&] { return native.handled(platform::kMsgFrameDecoded) >= 1; })) return {};
  return native.paint();
}

} // namespace winetest
