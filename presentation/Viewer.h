#pragma once
// One embedded viewer: the connection to its recorder, the viewer's own picture record, the
// frame pipeline with its Decoder thread and overlay, the status screen, the statistics
// counters and the language table. Everything here runs on the host's window thread; the
// worker threads reach it only through the posted messages kMsgPictureWaiting to kMsgOfferPicture, which every host
// hands to dispatchViewerMessage (presentation/ViewerMessages.h).
#include "engine/Connection.h"
#include "engine/LanguageTable.h"
#include "engine/PictureRecord.h"
#include "pixkit/PixkitLib.h"
#include "platform/Window.h"
#include "platform/paint/Canvas.h"
#include "platform/paint/FontResource.h"
#include "presentation/DecodeMode.h"
#include "presentation/FontIds.h"
#include "presentation/FramePipeline.h"
#include "presentation/StatusLayout.h"

#include <cstdint>

class CViewer {
public:
  static constexpr std::uint32_t kStatusBlueColorRef = 0xDC5050; // GDI 0x00BBGGRR: red 80, green 80, blue 220
  static constexpr int kRateWindowPictures = 10;

  // builtinLanguage: CLanguageTable::kGerman, kEnglish, or -1 to follow the system.
  explicit CViewer(int builtinLanguage = -1);
  ~CViewer();
  CViewer(const CViewer&) = delete;
  CViewer& operator=(const CViewer&) = delete;

  void reset();

  // Connection parameters, set by the host before start: the connection keeps reading
  // `host` while its Receiver thread runs, so they take effect with the next start.
  void setHost(const char* address); // cut to 255 characters
  void setPort(int recorderPort) { port = recorderPort; }
  void setConnectionId(int id) { connectionId = id; }
  // Where the fonts come from: the module whose "FONTS" resources carry them and their ids
  // (the control's numbering unless the host says otherwise).
  void setResources(paint::ModuleHandle module, const presentation::FontIds& ids);
  // Decoding at the window's size (presentation/DecodeLevel.h), at any time: the next picture
  // decoded follows it.
  void setDecodeMode(presentation::DecodeMode mode) { pipeline.setDecodeMode(mode); }
  presentation::DecodeMode decodeMode() const { return pipeline.decodeMode(); }

  // The window to paint and to post to: also the connection's and the pipeline's. May
  // change while the threads run; what the previous window was told and not yet handled
  // (a picture waiting, a frame finished, an offer due) is told the new one again.
  void attachWindow(platform::WindowHandle window);
  // The host loses its window: nothing is painted, invalidated or posted any more, and once
  // this returns no worker posts into the old handle, so the host may destroy the window.
  void detachWindow();
  // Starts a new run: the status screen, the connection and the Decoder thread. Messages
  // still queued from an earlier run are ignored. False, with a status on the screen, when a
  // step fails; true at once when running.
  bool start();
  void stop();

  // --- window-side operations ---
  void paint(paint::Canvas& dc, const paint::Rect& area);
  bool showStatus(int statusIndex, bool repaint);
  bool showStatusText(const char* text, bool repaint);
  // Takes the picture waiting in the connection's window slot; the decoder renders it for a
  // window of clientWidth x clientHeight. True when taken: then message kMsgOfferPicture offers it.
  bool takePicture(int clientWidth, int clientHeight);
  // Offers the taken picture to the Decoder thread. True when there was nothing to offer or
  // the offer was accepted; false when the thread is busy, which its next finished picture
  // resolves (frameDecoded offers again). Never waits.
  bool submitPicture();
  // Message kMsgFrameDecoded: shows the frame the Decoder thread has finished. The pipeline's finished
  // mark decides; `frameIndex` is only what the message said (a stale or repeated kMsgFrameDecoded
  // finds nothing finished and changes nothing).
  void frameDecoded(int frameIndex);

  // --- state, for the facade and tests ---
  platform::WindowHandle window() const { return window_; }
  const char* statusText() const { return statusText_ ? statusText_ : ""; }
  bool pipelineFree() const { return pipelineFree_; }
  int showIndex() const { return showIndex_; }
  int decodeErrors() const { return decodeErrors_; }
  bool diagnosticsOn() const { return (connection.recorderFlags() & 1) != 0; }
  const PictureRecord& currentPicture() const { return current; }
  // What paint draws: the shown frame when it holds a decoded picture, else the status screen.
  bool showingPicture() const { return pipeline.frameReady(showIndex_); }
  bool started() const { return started_; }
  // The number of the current run, carried by every message the viewer's threads post.
  std::uint32_t run() const { return run_; }
  bool offerPending() const { return offerPending_; }
  // Decoded pictures made visible since construction (kMsgFrameDecoded messages with a ready frame).
  int picturesShown() const { return picturesShown_; }
  // Pictures taken off the window slot and thrown away since construction: not newer than
  // the one shown, malformed, or no memory to copy them (decode failures: decodeErrors).
  int picturesDropped() const { return picturesDropped_; }
  // Fonts held by the status screen's drawing library (1 once started).
  int statusFonts() const { return messageLib.core() ? messageLib.core()->fontCount() : 0; }
  // Pictures the Receiver thread lost since construction (no memory, or larger than any
  // picture can be).
  std::uint32_t picturesDroppedByReceiver() const { return connection.picturesDropped(); }
  paint::ModuleHandle fontModule() const { return module_; }
  const CLanguageTable& languageTable() const { return language; }
  const CFramePipeline& framePipeline() const { return pipeline; }
  const char* hostAddress() const { return host; }
  int recorderPort() const { return port; }

  static const char* statusKey(int statusIndex);

private:
  class StatusMeasurer;
  void drawStatusScreen(paint::Canvas& dc, const paint::Rect& area);
  void countRates();

  char host[CConnection::kHostCapacity] = {};
  std::int32_t port = -1;
  std::int32_t connectionId = 0;
  platform::WindowHandle window_ = nullptr;
  // Constructed in this order, and destroyed the other way round: the connection's threads
  // and buffers go before the frames the pipeline holds.
  CFramePipeline pipeline;
  CConnection connection;
  PictureRecord current;
  const char* statusText_ = nullptr;
  CPixkitLib messageLib;
  unsigned long messageFont = 0;
  bool pipelineFree_ = true;
  int showIndex_ = 0;
  long long fpsBytes = 0;
  int fpsFrames = 0;
  std::uint32_t fpsStart = 0;
  int decodeErrors_ = 0;
  CLanguageTable language;

  bool holdsPicture_ = false; // current has held a received picture
  bool offerPending_ = false; // current was taken and not yet accepted by the Decoder thread
  // A status came while a picture was on its way through the pipeline: that picture is older
  // news than the status and must not cover it when its kMsgFrameDecoded comes.
  bool statusAfterTake_ = false;
  bool started_ = false;
  std::uint32_t run_ = 0;
  int picturesShown_ = 0;
  int picturesDropped_ = 0;
  paint::ModuleHandle module_ = nullptr;
  presentation::FontIds fontIds_ = presentation::kControlFontIds;
  presentation::StatusLayout statusLayout_;

  // Tests and benchmarks reach the connection's window slot and the pipeline's overlay.
  friend class ViewerTestAccess;
};
