#include "tests/presentation/ViewerHarness.h"

#include "engine/RunTag.h"

#include "platform/Socket.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerTestAccess.h"
#include "tests/support/WaitUntil.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

ViewerHarness::ViewerHarness(int language, int width, int height, int port, int connectionId)
    : viewer_(std::make_unique<CViewer>(language)), width_(width), height_(height) {
  handled.reserve(4096); // a benchmark's hundreds of pictures log their messages without growing it
  screen_.resize(width, height);
  platform::networkStartup(); // as a host does (Windows Sockets); counted
  viewer_->setHost("127.0.0.1");
  viewer_->setPort(port);
  viewer_->setConnectionId(connectionId);
  viewer_->attachWindow(window_.handle());
  viewer_->start();
}

ViewerHarness::~ViewerHarness() {
  viewer_.reset();
  platform::networkCleanup();
}

void ViewerHarness::park(const std::vector<std::uint8_t>& payload, std::uint32_t receivedTick, int pictureNumber,
                         bool standard576, int level, bool postIt) {
  PictureRecord& slot = ViewerTestAccess::connection(*viewer_).windowSlot[0];
  slot.reserve(std::int32_t(payload.size()));
  if (!payload.empty()) std::memcpy(slot.data, payload.data(), payload.size());
  slot.length = std::int32_t(payload.size());
  fillHeader(slot, pictureNumber, standard576, level);
  slot.receivedTick = receivedTick;
  slot.valid.store(true, std::memory_order_release);
  if (postIt) post(platform::kMsgPictureWaiting);
}

void ViewerHarness::post(std::uint32_t message, std::uintptr_t value, std::intptr_t lParam) {
  platform::postMessage(window_.handle(), message, runtag::tag(viewer_->run(), value), lParam);
}

bool ViewerHarness::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  ViewerHostWindow host;
  host.window = window_.handle();
  return testsupport::waitUntil(done, std::chrono::milliseconds(timeoutMs), [&] {
    host.clientWidth = width_;
    host.clientHeight = height_;
    // Once `done` holds, the rest of the batch is posted again, not handled: the state the
    // test looks at is the one right after the message that made `done` true. The handler
    // captures one pointer, which std::function keeps without allocating (the viewer
    // benchmark counts allocations through this harness).
    struct Batch {
      ViewerHarness* self;
      const ViewerHostWindow* host;
      const std::function<bool()>* done;
      bool reached;
    } batch{this, &host, &done, false};
    window_.pump(
        [b = &batch](const platform::WindowMessage& message) {
          if (b->reached) {
            platform::postMessage(b->self->window_.handle(), message.message, message.wParam, message.lParam);
            return;
          }
          b->self->handled.push_back(message);
          b->self->dispatch(message, *b->host);
          b->reached = (*b->done)();
        },
        50);
    // A repaint request counts as an event for the queue's wait: take it and paint, as a
    // host does, so the next pump waits again and the viewer asks for its next picture.
    if (window_.takeInvalidated()) viewer_->paint(screen_, {0, 0, screen_.width(), screen_.height()});
  });
}

void ViewerHarness::dispatch(const platform::WindowMessage& message, const ViewerHostWindow& host) {
  PictureRecord& candidate = shown_[1 - shownIndex_];
  const bool copied = message.message == platform::kMsgFrameDecoded && candidate.copyFrom(viewer_->currentPicture());
  const int shownBefore = viewer_->picturesShown();
  dispatchViewerMessage(*viewer_, message, host);
  if (copied && viewer_->picturesShown() != shownBefore) shownIndex_ = 1 - shownIndex_;
}

bool ViewerHarness::waitForFrames(int count, int timeoutMs) {
  auto frames = [this] {
    return std::count_if(handled.begin(), handled.end(),
                         [](const platform::WindowMessage& m) { return m.message == platform::kMsgFrameDecoded; });
  };
  const long target = frames() + count;
  return pumpUntil([&] { return frames() >= target; }, timeoutMs);
}

paint::SoftwareCanvas ViewerHarness::paint() {
  paint::SoftwareCanvas canvas(width_, height_);
  viewer_->paint(canvas, {0, 0, width_, height_});
  return canvas;
}

} // namespace testsupport
