#include "tests/wine/plugin/NativeViewer.h"

#include "platform/Socket.h"
#include "presentation/EmbeddedViewer.h"

#include <windows.h>

namespace pluginsupport {

NativeViewer::NativeViewer(const char* host, int port, int connectionId, int width, int height)
    : width_(width), height_(height) {
  platform::networkStartup(); // this process's own sockets, apart from the plug-in's
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
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  const ViewerHostWindow host{window_.handle(), width_, height_, false};
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    window_.pump(
        [&](const platform::WindowMessage& message) {
          ++handled_[message.message];
          if (message.message == platform::kMsgStatus && message.lParam != 0) ++statusTexts_;
          embed::dispatchMessage(viewer_, message, host);
        },
        10);
  }
  return true;
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

} // namespace pluginsupport
