#pragma once
// One <camview-viewer> element's viewer in the page: the viewer core behind its facade, a
// message window that the page's main thread pumps in place of a window procedure, and a
// canvas of the element's size that the viewer paints into exactly as it paints a window on
// Windows. The element's script (site/camview-viewer.js) drives it through the C functions
// at the end of WebViewerHost.cpp.
#include "platform/Window.h"
#include "platform/paint/SoftwareCanvas.h"
#include "presentation/EmbeddedViewer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace web {

class WebViewerHost {
public:
  enum PumpResult : int { kRepaint = 1, kNewPicture = 2 };

  // Creates and starts a viewer of camera `connectionId` of the gateway's recorder `recorder`;
  // null when there is no memory. A failed start leaves the viewer on its status screen.
  static WebViewerHost* create(const char* recorder, int connectionId, int width, int height,
                               presentation::DecodeMode decode);
  ~WebViewerHost();
  WebViewerHost(const WebViewerHost&) = delete;
  WebViewerHost& operator=(const WebViewerHost&) = delete;

  void resize(int width, int height);
  void setDecodeMode(presentation::DecodeMode decode) { embed::setDecodeMode(viewer_, decode); }
  // Handles the viewer's queued messages. PumpResult bits.
  int pump();
  // Paints the viewer into the canvas; RGBA pixels, rows top-down, width x 4 bytes apart.
  const std::uint8_t* paintRgba();

  int width() const { return canvas_.width(); }
  int height() const { return canvas_.height(); }
  const char* statusText() const;
  bool showingPicture() const;
  int picturesShown() const { return picturesShown_; }
  // The picture on screen (header, compressed bytes, the size it was decoded for).
  const PictureRecord& shownPicture() const { return shown_[shownIndex_]; }

private:
  WebViewerHost() = default;

  CViewer* viewer_ = nullptr;
  platform::MessageWindow window_;
  paint::SoftwareCanvas canvas_;
  std::vector<std::uint8_t> rgba_;
  PictureRecord shown_[2]; // the picture on screen, and room for the next one
  int shownIndex_ = 0;
  int picturesShown_ = 0;
};

} // namespace web
