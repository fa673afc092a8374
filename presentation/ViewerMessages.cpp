#include "presentation/ViewerMessages.h"

#include "presentation/Viewer.h"

bool dispatchViewerMessage(CViewer& viewer, const platform::WindowMessage& message, const ViewerHostWindow& host) {
  switch (message.message) {
  case platform::kMsgPictureWaiting:
    if (viewer.takePicture(host.clientWidth, host.clientHeight))
      platform::postMessage(host.window, platform::kMsgOfferPicture, 0, 0);
    return true;
  case platform::kMsgStatus:
    // A text in lParam lives in the viewer's language table; it is never freed here.
    if (message.lParam != 0)
      viewer.showStatusText(reinterpret_cast<const char*>(message.lParam), true);
    else
      viewer.showStatus(static_cast<int>(message.wParam), true);
    return true;
  case platform::kMsgStatusIndex:
    viewer.showStatus(static_cast<int>(message.wParam), true);
    return true;
  case platform::kMsgFrameDecoded:
    viewer.frameDecoded(static_cast<int>(message.wParam));
    platform::invalidate(host.window, host.eraseOnFrame);
    return true;
  case platform::kMsgOfferPicture:
    if (!viewer.submitPicture()) platform::postMessage(host.window, platform::kMsgOfferPicture, 0, 0);
    return true;
  default:
    return false;
  }
}
