#include "presentation/ViewerMessages.h"

#include "engine/RunTag.h"
#include "engine/StatusIndex.h"
#include "presentation/Viewer.h"

namespace {

void offerLater(CViewer& viewer, const ViewerHostWindow& host) {
  platform::postMessage(host.window, platform::kMsgOfferPicture, runtag::tag(viewer.run(), 0), 0);
}

} // namespace

bool dispatchViewerMessage(CViewer& viewer, const platform::WindowMessage& message, const ViewerHostWindow& host) {
  if (message.message < platform::kMsgPictureWaiting || message.message > platform::kMsgOfferPicture) return false;
  // Only a message of the current run is acted on. One of an earlier run (posted before a
  // stop, handled after the next start), or one the viewer did not post at all (a browser's
  // own WM_USER + n on the window it shares with the plug-in), is taken off the queue and
  // ignored.
  if (!runtag::isTagOf(viewer.run(), message.wParam)) return true;
  const std::uintptr_t value = runtag::valueOf(message.wParam);
  // The viewer posts lParam 0 with everything but a recorder error, which carries its code.
  const bool errorCode = message.message == platform::kMsgStatus && value == 0 && isErrorCodeParam(message.lParam);
  if (message.lParam != 0 && !errorCode) return true;
  // Without a size there is nothing to render a picture for: it waits in its slot until the
  // host has a window again.
  const bool canRender = host.clientWidth > 0 && host.clientHeight > 0;

  switch (message.message) {
  case platform::kMsgPictureWaiting:
    if (canRender && viewer.takePicture(host.clientWidth, host.clientHeight)) offerLater(viewer, host);
    return true;
  case platform::kMsgStatus:
    // A recorder error comes as its code; the text is this viewer's, from its own table.
    if (!errorCode)
      viewer.showStatus(static_cast<int>(value), true);
    else
      viewer.showStatusText(viewer.languageTable().errorText(static_cast<std::int32_t>(message.lParam)), true);
    return true;
  case platform::kMsgStatusIndex:
    viewer.showStatus(static_cast<int>(value), true);
    return true;
  case platform::kMsgFrameDecoded:
    viewer.frameDecoded(static_cast<int>(value));
    // A picture that arrived while the Decoder thread was busy waits in the window slot; its
    // one kMsgPictureWaiting came too early, so it is taken now.
    if (canRender && viewer.takePicture(host.clientWidth, host.clientHeight)) offerLater(viewer, host);
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
