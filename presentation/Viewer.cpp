#include "presentation/Viewer.h"

#include "engine/RunTag.h"
#include "engine/StatusIndex.h"
#include "platform/Time.h"
#include "presentation/FrameLayout.h"
#include "presentation/Overlay.h"
#include "presentation/StatsTexts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kStatusKeys[] = {"err_commclosed", "err_socket",  "decompresserror", "err_mem",
                                       "err_thread",     "err_unknown", "info_establish"};

// Status-screen pixels: blue 220, green 80, red 80 as frame bytes.
constexpr std::uint8_t kBackgroundBytes[3] = {220, 80, 80};
constexpr std::uint32_t kTextColour = 0xFFFFFF;
constexpr std::uint32_t kShadowColour = 0x000000;

} // namespace

// Measures status words with the status screen's library and font.
class CViewer::StatusMeasurer final : public presentation::TextMeasurer {
public:
  StatusMeasurer(CPixkitLib& lib, unsigned long font) : lib_(lib), font_(font) {}
  void measure(const char* text, int& width, int& height) override {
    CPKRectangle size;
    lib_.getTextSize(font_, text, &size, 0);
    width = size.right;
    height = size.bottom;
  }

private:
  CPixkitLib& lib_;
  unsigned long font_;
};

CViewer::CViewer(int builtinLanguage) : language(builtinLanguage) { reset(); }

CViewer::~CViewer() {
  stop();
  language.destroy();
  messageLib.close();
  current.release();
}

void CViewer::reset() {
  window_ = nullptr;
  pipeline.reset(&language);
  host[0] = '\0';
  port = -1;
  statusText_ = nullptr;
  pipelineFree_ = true;
  showIndex_ = 0;
  fpsBytes = 0;
  fpsFrames = 0;
  fpsStart = platform::tickCount();
  decodeErrors_ = 0;
}

void CViewer::setHost(const char* address) { presentation::copyText(host, sizeof host, address); }

void CViewer::setResources(paint::ModuleHandle module, const presentation::FontIds& ids) {
  module_ = module;
  fontIds_ = ids;
  pipeline.setResources(module, ids);
}

void CViewer::attachWindow(platform::WindowHandle window) {
  window_ = window;
  connection.setNotifyWindow(window);
  pipeline.setWindow(window);
  if (!window) return;
  // What an earlier window may have been told and never handled is told this one again.
  connection.renotify();
  if (pipeline.finishedWaiting()) platform::postMessage(window, platform::kMsgFrameDecoded, runtag::tag(run_, 0), 0);
  if (offerPending_) platform::postMessage(window, platform::kMsgOfferPicture, runtag::tag(run_, 0), 0);
}

void CViewer::detachWindow() {
  window_ = nullptr;
  connection.setNotifyWindow(nullptr);
  pipeline.setWindow(nullptr);
}

const char* CViewer::statusKey(int statusIndex) {
  if (statusIndex < 0 || statusIndex >= int(std::size(kStatusKeys))) return "err_unknown";
  return kStatusKeys[statusIndex];
}

bool CViewer::start() {
  if (started_) return true; // a host may start again when its window is created again
  run_ = runtag::nextRun(run_);
  connection.setRun(run_);
  pipeline.setRun(run_);
  statusText_ = language.lookup("waitconnect");
  writeOverlayPlaceholders(current, language);
  // The status screen draws into the shown frame; before the first picture the Decoder
  // thread fills frame 0, so the screen starts on frame 1 and the two never meet.
  showIndex_ = 1;
  pipelineFree_ = true;
  offerPending_ = false;
  statusAfterTake_ = false;

  if (!pipeline.allocateFrames()) return showStatus(kStatusMemory, false);
  // The status screen's library and font are made once; a restart reuses them.
  if (messageFont == 0) {
    char* statusFrame = reinterpret_cast<char*>(pipeline.frame(showIndex_));
    if (!messageLib.Init(presentation::kFrameMaxWidth, presentation::kFrameMaxHeight, presentation::kFrameMaxWidth,
                         statusFrame, PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0))
      return showStatus(kStatusMemory, false);
    paint::ResourceBlock block;
    if (!paint::loadFontResource(module_, fontIds_.statusFont, block)) return showStatus(kStatusUnknown, false);
    messageFont = messageLib.core()->addFontChecked(const_cast<unsigned char*>(block.data), block.size, false);
    if (messageFont == 0) return showStatus(kStatusMemory, false);
  }

  // A start that failed after this step left the Receiver thread running: its address must
  // not change under it.
  if (connection.state() == CConnection::ReceiverState::NotRunning) {
    connection.configure(host, port, connectionId, &language);
    // Every host paints what it shows: each picture waits for the paint of the one before.
    connection.setPaintGate(true);
  }
  connection.setNotifyWindow(window_);
  pipeline.setWindow(window_);
  // No thread: "Error while initializing!" (no memory for the messages posts "No memory!").
  if (!connection.start()) return showStatus(kStatusThread, false);

  if (!pipeline.startDecoderThread()) {
    // The Receiver thread runs on, but no picture could ever be shown: say so.
    return showStatus(kStatusThread, false);
  }
  started_ = true;
  return true;
}

void CViewer::stop() {
  connection.stop();
  pipeline.stopDecoderThread();
  window_ = nullptr;
  started_ = false;
}

// --- statuses ---

bool CViewer::showStatus(int statusIndex, bool repaint) {
  if (statusIndex == kStatusDecompressError) {
    ++decodeErrors_;
    if (diagnosticsOn()) {
      char label[presentation::StatsTexts::kTextSize];
      std::snprintf(label, sizeof label, "DecErr: %d", decodeErrors_);
      pipeline.overlay().stats().setStatsLabel(2, 400, 200, label);
    }
  }
  showStatusText(language.lookup(statusKey(statusIndex)), repaint);
  return false;
}

bool CViewer::showStatusText(const char* text, bool repaint) {
  statusText_ = text;
  statusAfterTake_ |= !pipelineFree_;
  pipeline.clearReady();
  if (repaint && window_) platform::invalidate(window_, false);
  return true;
}

// --- the picture's way ---

bool CViewer::takePicture(int clientWidth, int clientHeight) {
  PictureRecord& slot = connection.windowSlot[0];
  if (!slot.valid.load(std::memory_order_acquire) || !pipelineFree_) return false;

  // Only a newer picture is shown. Ticks wrap after 49.7 days, so "newer" is a positive
  // signed difference; the first picture is always taken.
  const auto age = static_cast<std::int32_t>(slot.receivedTick - current.receivedTick);
  if ((holdsPicture_ && age <= 0) || slot.length < 0 || (slot.length > 0 && !slot.data)) {
    ++picturesDropped_;
    connection.releaseWindowSlot();
    return false;
  }

  // The pipeline is idle and the slot is the window side's until it is released: the
  // picture moves over by exchanging blocks, without copying its bytes.
  pipelineFree_ = false;
  current.takeFrom(slot);
  current.valid.store(true, std::memory_order_relaxed);
  current.clientWidth = clientWidth;
  current.clientHeight = clientHeight;
  holdsPicture_ = true;
  offerPending_ = true;
  connection.releaseWindowSlot();
  return true;
}

bool CViewer::submitPicture() {
  // Nothing taken, or offered already (a stray, repeated or earlier run's kMsgOfferPicture).
  if (!offerPending_) return true;
  pipeline.setStatisticsSwitch(diagnosticsOn());
  current.timing[PictureRecord::kTimingOffered] = platform::tickCount();
  if (!pipeline.offer(&current)) return false;
  offerPending_ = false;
  return true;
}

void CViewer::frameDecoded(int /*frameIndex*/) {
  const int finished = pipeline.takeFinished();
  if (finished < 0) return;
  showIndex_ = finished;
  // A picture taken before the status on screen (a lost connection, a recorder error) stays
  // hidden: the status is the newer news, and the next picture replaces it.
  if (statusAfterTake_) pipeline.clearReady();
  if (offerPending_) {
    // The thread was busy when our picture was offered (which the hand-over rules out):
    // now it is free. The offered picture was taken before the status as well.
    submitPicture();
    return;
  }
  statusAfterTake_ = false;
  countRates();
  pipelineFree_ = true;
  if (pipeline.frameReady(finished)) ++picturesShown_;
}

void CViewer::countRates() {
  fpsBytes += static_cast<long long>(current.length) + PictureRecord::kHeaderSize;
  ++fpsFrames;
  if (fpsFrames < kRateWindowPictures) return;
  const std::uint32_t elapsed = platform::tickCount() - fpsStart;
  fpsStart = platform::tickCount();
  if (diagnosticsOn()) {
    presentation::RateTexts rates;
    presentation::formatRates(fpsFrames, fpsBytes, elapsed, rates);
    pipeline.overlay().stats().setStatsLabel(0, 400, 100, rates.fps);
    pipeline.overlay().stats().setStatsLabel(1, 400, 120, rates.dps);
  }
  fpsBytes = 0;
  fpsFrames = 0;
}

// --- painting ---

void CViewer::paint(paint::Canvas& dc, const paint::Rect& area) {
  const int previousMode = dc.setStretchMode(paint::kStretchColorOnColor);
  if (pipeline.frameReady(showIndex_)) {
    const int width = pipeline.frameWidth(showIndex_);
    const int height = pipeline.frameHeight(showIndex_);
    // Two rows taller than the window: the picture's bottom two rows fall below it.
    dc.stretchDib(area.left, area.top, area.right - area.left, area.bottom - area.top + 2, 0, 0, width, height,
                  {pipeline.frame(showIndex_), width, height});
  } else {
    drawStatusScreen(dc, area);
  }
  dc.setStretchMode(previousMode);
  connection.picturePainted(); // the next picture may be asked for
}

void CViewer::drawStatusScreen(paint::Canvas& dc, const paint::Rect& area) {
  // The screen fills `area`, which need not start at the device's origin (printing).
  const int width = std::max(area.right - area.left, 0);
  const int height = std::max(area.bottom - area.top, 0);
  StatusMeasurer measurer(messageLib, messageFont);
  statusLayout_.layout(statusText_, width, height, measurer, presentation::kFrameMaxWidth,
                       presentation::kFrameMaxHeight);
  const int boxWidth = statusLayout_.boxWidth();
  const int boxHeight = statusLayout_.boxHeight();

  std::uint8_t* frame = pipeline.frame(showIndex_);
  if (frame && boxWidth > 0 && boxHeight > 0) {
    // The box fits the frame: at most 768 x 576 pixels, rows boxWidth x 3 bytes apart.
    const std::size_t pixels = std::size_t(boxWidth) * boxHeight;
    for (std::size_t i = 0; i < pixels; ++i) std::memcpy(frame + i * 3, kBackgroundBytes, 3);
    messageLib.setNewDestination(boxWidth, boxHeight, boxWidth, reinterpret_cast<char*>(frame));
    for (int i = 0; messageFont != 0 && i < statusLayout_.wordCount(); ++i) {
      const presentation::StatusWord& word = statusLayout_.word(i);
      messageLib.drawText(messageFont, word.x + 2, word.y + 2, 0, kShadowColour, word.text);
      messageLib.drawText(messageFont, word.x, word.y, 0, kTextColour, word.text);
    }
    // The library drew top-down; the negative height shows memory row 0 at the top.
    dc.stretchDib(area.left, area.top + boxHeight - 1, boxWidth, -boxHeight, 0, 0, boxWidth, boxHeight,
                  {frame, boxWidth, boxHeight});
  }
  if (boxWidth < width)
    dc.fillSolid({area.left + boxWidth, area.top, area.right, area.top + boxHeight}, kStatusBlueColorRef);
  if (boxHeight < height) dc.fillSolid({area.left, area.top + boxHeight, area.right, area.bottom}, kStatusBlueColorRef);
}
