#include "presentation/EmbeddedViewer.h"

#include "platform/NameLookup.h"
#include "platform/Socket.h"
#include "presentation/Viewer.h"

#include <atomic>
#include <new>

namespace embed {
namespace {

std::atomic<int> viewersAlive{0};

// Every viewer handed out here: a CViewer that remembers whether it holds a start-up of the
// socket library, so that destroyViewer gives back exactly what createViewer took.
struct HostedViewer final : CViewer {
  explicit HostedViewer(int language) : CViewer(language) {}
  bool networkStarted = false;
};

} // namespace

CViewer* createViewer(const ViewerSettings& settings) noexcept {
  HostedViewer* viewer = nullptr;
  try {
    viewer = new (std::nothrow) HostedViewer(settings.language);
  } catch (...) {
    viewer = nullptr;
  }
  if (!viewer) return nullptr;
  viewersAlive.fetch_add(1, std::memory_order_acq_rel);
  // Counted: two viewers (or a viewer and its host) cannot pull the library from under each
  // other. Without it the viewer still works as far as it can: its connection reports the
  // socket error on the status screen.
  viewer->networkStarted = platform::networkStartup();
  viewer->setHost(settings.host ? settings.host : "");
  viewer->setPort(settings.port);
  viewer->setConnectionId(settings.connectionId);
  // A null module would name the browser's executable: the fonts live in the module that
  // holds this code.
  viewer->setResources(settings.fontModule ? settings.fontModule : paint::moduleOfThisCode(), settings.fontIds);
  viewer->setDecodeMode(settings.decode);
  return viewer;
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
  auto* hosted = static_cast<HostedViewer*>(viewer);
  const bool networkStarted = hosted->networkStarted;
  try {
    delete hosted; // stops the threads and closes the socket first
  } catch (...) {}
  if (networkStarted) platform::networkCleanup();
  viewersAlive.fetch_sub(1, std::memory_order_acq_rel);
}

void attachWindow(CViewer* viewer, platform::WindowHandle window) noexcept {
  if (viewer) viewer->attachWindow(window);
}

void detachWindow(CViewer* viewer) noexcept {
  if (viewer) viewer->detachWindow();
}

void setDecodeMode(CViewer* viewer, presentation::DecodeMode mode) noexcept {
  if (viewer) viewer->setDecodeMode(mode);
}

void paint(CViewer* viewer, paint::Canvas& canvas, const paint::Rect& area) noexcept {
  if (!viewer) return;
  try {
    viewer->paint(canvas, area);
  } catch (...) {}
}

bool dispatchMessage(CViewer* viewer, const platform::WindowMessage& message, const ViewerHostWindow& host) noexcept {
  if (!viewer) return false;
  try {
    return dispatchViewerMessage(*viewer, message, host);
  } catch (...) {
    return false;
  }
}

ViewerState viewerState(const CViewer* viewer) noexcept {
  ViewerState state;
  if (!viewer) return state;
  state.showingPicture = viewer->showingPicture();
  state.statusText = viewer->statusText();
  state.picturesShown = viewer->picturesShown();
  state.picturesLost = viewer->picturesDropped() + viewer->decodeErrors() + int(viewer->picturesDroppedByReceiver());
  return state;
}

bool copyCurrentPicture(const CViewer* viewer, PictureRecord& into) noexcept {
  return viewer && into.copyFrom(viewer->currentPicture()); // copyFrom allocates without throwing
}

int liveViewers() noexcept { return viewersAlive.load(std::memory_order_acquire) + platform::NameLookup::running(); }

} // namespace embed
