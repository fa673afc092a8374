#pragma once
// One embedded viewer: the connection to its recorder, the viewer's own picture record, the
// frame pipeline with its Decoder thread and overlay, the status screen, the statistics
// counters and the language table. Everything here runs on the host's window thread; the
// worker threads reach it only through the posted messages 1025 to 1029, which every host
// hands to dispatchViewerMessage (presentation/ViewerMessages.h).
#include "engine/Connection.h"
#include "engine/LanguageTable.h"
#include "engine/PictureRecord.h"
#include "pixkit/PixkitLib.h"
#include "platform/Window.h"
#include "platform/paint/Canvas.h"
#include "platform/paint/FontResource.h"
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

  // Connection parameters, written by the host before start.
  void setHost(const char* address); // cut to 255 characters
  // Where the fonts come from: the module whose "FONTS" resources carry them and their ids
  // (the control's numbering unless the host says otherwise).
  void setResources(paint::ModuleHandle module, const presentation::FontIds& ids);

  // The window to paint and to post to: also the connection's and the pipeline's.
  void attachWindow(platform::WindowHandle window);
  // The host lost its window: nothing is painted or invalidated any more, but the worker
  // threads keep posting to the handle they have until the next attachWindow.
  void detachWindow() { window_ = nullptr; }
  bool start();
  void stop();

  // --- window-side operations ---
  void paint(paint::Canvas& dc, const paint::Rect& area);
  bool showStatus(int statusIndex, bool repaint);
  bool showStatusText(const char* text, bool repaint);
  // Takes the picture waiting in the connection's window slot; the decoder renders it for a
  // window of clientWidth x clientHeight.
  bool takePicture(int clientWidth, int clientHeight);
  bool submitPicture();
  void frameDecoded(int frameIndex);

  // --- state, for hosts and tests ---
  platform::WindowHandle window() const { return window_; }
  const char* statusText() const { return statusText_ ? statusText_ : ""; }
  bool pipelineFree() const { return pipelineFree_; }
  int showIndex() const { return showIndex_; }
  int decodeErrors() const { return decodeErrors_; }
  bool diagnosticsOn() const { return (connection.recorderFlags() & 1) != 0; }
  const PictureRecord& currentPicture() const { return current; }
  bool started() const { return started_; }
  const CLanguageTable& languageTable() const { return language; }
  CFramePipeline& framePipeline() { return pipeline; }

  static const char* statusKey(int statusIndex);

  // The members the hosts write before start (and that the connection reads while running).
  char host[CConnection::kHostCapacity] = {};
  std::int32_t port = -1;
  std::int32_t connectionId = 0;

private:
  class StatusMeasurer;
  void drawStatusScreen(paint::Canvas& dc, const paint::Rect& area);
  void countRates();

  platform::WindowHandle window_ = nullptr;
  CFramePipeline pipeline;

public:
  CConnection connection;

private:
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
  bool started_ = false;
  paint::ModuleHandle module_ = nullptr;
  presentation::FontIds fontIds_ = presentation::kControlFontIds;
  presentation::StatusLayout statusLayout_;

  friend class CViewerTestAccess;
};
