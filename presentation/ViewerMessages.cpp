#include "presentation/ViewerMessages.h"

#include "engine/RunTag.h"
#include "presentation/Viewer.h"

namespace {

void offerLater(CViewer& viewer, const ViewerHostWindow& host) {
  platform::postMessage(host.window, platform::kMsgOfferPicture, runtag::tag(viewer.run(), 0), 0);
}

} // namespace

bool dispatchViewerMessage(CViewer& viewer, const platform::WindowMessage& message, const ViewerHostWindow& host) {
  if (message.message < platform::kMsgPictureWaiting || message.message > platform::kMsgOfferPicture) return false;
  // A message of an earlier run (posted before a stop, handled after the next start) is
  // ours but out of date: taken off the queue and ignored.
  const std::uint32_t run = runtag::runOf(message.wParam);
  if (run != 0 && run != viewer.run()) return true;
  const std::uintptr_t value = runtag::valueOf(message.wParam);

  switch (message.message) {
  case platform::kMsgPictureWaiting:
    if (viewer.takePicture(host.clientWidth, host.clientHeight)) offerLater(viewer, host);
    return true;
  case platform::kMsgStatus:
    // A text in lParam lives in the viewer's language table; it is never freed here.
    if (message.lParam != 0)
      viewer.showStatusText(reinterpret_cast<const char*>(message.lParam), true);
    else
      viewer.showStatus(static_cast<int>(value), true);
    return true;
  case platform::kMsgStatusIndex:
    viewer.showStatus(static_cast<int>(value), true);
    return true;
  case platform::kMsgFrameDecoded:
    viewer.frameDecoded(static_cast<int>(value));
    // A picture that arrived while the Decoder thread was busy waits in the window slot; its
    // one 1025 came too early, so it is taken now.
    if (viewer.takePicture(host.clientWidth, host.clientHeight)) offerLater(viewer, host);
    platform::invalidate(host.window, host.eraseOnFrame);
    return true;
  case platform::kMsgOfferPicture:
    // A refused offer is made again by the next finished picture (frameDecoded): nothing is
    // re-posted, so the window thread never spins on a busy Decoder thread.
    viewer.submitPicture();
    return true;
  default:
    return false;
  }
}
