#include "presentation/EmbeddedViewer.h"

#include "presentation/Viewer.h"

#include <atomic>
#include <new>

namespace embed {
namespace {
std::atomic<int> viewersAlive{0};
}

CViewer* createViewer(const ViewerSettings& settings) noexcept {
  try {
    CViewer* viewer = new (std::nothrow) CViewer(settings.language);
    if (!viewer) return nullptr;
    viewersAlive.fetch_add(1, std::memory_order_acq_rel);
    viewer->setHost(settings.host ? settings.host : "");
    viewer->port = settings.port;
    viewer->connectionId = settings.connectionId;
    viewer->setResources(settings.fontModule, settings.fontIds);
    return viewer;
  } catch (...) {
    return nullptr;
  }
}

bool startViewer(CViewer* viewer) noexcept {
  if (!viewer) return false;
  try {
    return viewer->start();
  } catch (...) {
    return false;
  }
}

void destroyViewer(CViewer* viewer) noexcept {
  if (!viewer) return;
  try {
    delete viewer;
  } catch (...) {
  }
  viewersAlive.fetch_sub(1, std::memory_order_acq_rel);
}

void attachWindow(CViewer* viewer, platform::WindowHandle window) noexcept {
  if (viewer) viewer->attachWindow(window);
}

void detachWindow(CViewer* viewer) noexcept {
  if (viewer) viewer->detachWindow();
}

void paint(CViewer* viewer, paint::Canvas& canvas, const paint::Rect& area) noexcept {
  if (!viewer) return;
  try {
    viewer->paint(canvas, area);
  } catch (...) {
  }
}

bool dispatchMessage(CViewer* viewer, const platform::WindowMessage& message, const ViewerHostWindow& host) noexcept {
  if (!viewer) return false;
  try {
    return dispatchViewerMessage(*viewer, message, host);
  } catch (...) {
    return false;
  }
}

int liveViewers() noexcept { return viewersAlive.load(std::memory_order_acquire); }

} // namespace embed
