#pragma once
// A started viewer on a message queue of the test's own, without a recorder: the test
// thread is the window thread, parks pictures in the connection's window slot as the
// Receiver thread would, and pumps the messages through the dispatcher.
#include "platform/Window.h"
#include "platform/paint/SoftwareCanvas.h"
#include "presentation/Viewer.h"
#include "presentation/ViewerMessages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace testsupport {

class ViewerHarness {
public:
  // port -1: the viewer never connects and the test parks pictures itself; any other port:
  // the viewer connects to a recorder on 127.0.0.1 there.
  ViewerHarness(int language, int width = 720, int height = 576, int port = -1, int connectionId = 0);
  ~ViewerHarness();

  CViewer& viewer() { return *viewer_; }
  platform::WindowHandle window() const { return window_.handle(); }
  void setWindowSize(int width, int height) {
    width_ = width;
    height_ = height;
  }

  // Puts a picture into the window slot and posts kMsgPictureWaiting, as the Receiver thread does.
  void park(const std::vector<std::uint8_t>& payload, std::uint32_t receivedTick, int pictureNumber,
            bool standard576 = true, int level = 0, bool post = true);
  // Posts as the viewer's threads do: `value` tagged with the current run.
  void post(std::uint32_t message, std::uintptr_t value = 0, std::intptr_t lParam = 0);

  // Dispatches queued messages (waiting up to 50 ms for each batch) until `done` holds or
  // `timeoutMs` passes. Every message handled is appended to `handled`. The bound is generous:
  // a sanitizer build on a loaded machine takes seconds for a picture.
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);
  // Pumps until `count` more kMsgFrameDecoded messages have been handled.
  bool waitForFrames(int count, int timeoutMs = 30000);

  paint::SoftwareCanvas paint();
  // A copy of the picture on screen, taken as its kMsgFrameDecoded was handled: handling a kMsgFrameDecoded may
  // already take the next waiting picture in as the viewer's current picture.
  const PictureRecord& shownPicture() const { return shown_[shownIndex_]; }

  std::vector<platform::WindowMessage> handled;

private:
  void dispatch(const platform::WindowMessage& message, const ViewerHostWindow& host);

  PictureRecord shown_[2];
  int shownIndex_ = 0;
  platform::MessageWindow window_;
  paint::SoftwareCanvas screen_; // what the pump paints on a repaint request
  std::unique_ptr<CViewer> viewer_;
  int width_;
  int height_;
};

} // namespace testsupport
