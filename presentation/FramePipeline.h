#pragma once
// The frame pipeline of one viewer: two display frames that the window paints alternately,
// the decoder's work frame, and the Decoder thread that decodes, scales and marks one
// picture at a time.
//
// Hand-over (no locks): the window thread offers a record only while `busy` is clear and
// then leaves the record alone until it has taken the finished picture (takeFinished). The
// Decoder thread fills frame `fillIndex`, publishes its ready flag, clears `busy`, marks the
// picture finished and posts kMsgFrameDecoded (after kMsgStatus with status 2 when the decode failed). The
// finished mark, not the message, is what the window side acts on: a kMsgFrameDecoded that was lost
// (no window at the time) or that belongs to an earlier run changes nothing. Flags are
// atomics with release stores and acquire loads.
#include "engine/LanguageTable.h"
#include "engine/NotifyTarget.h"
#include "engine/PictureRecord.h"
#include "platform/Worker.h"
#include "platform/WakeEvent.h"
#include "platform/Window.h"
#include "platform/paint/FontResource.h"
#include "presentation/FontIds.h"
#include "presentation/DecodeLevel.h"
#include "presentation/Overlay.h"
#include "presentation/SizeTable.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace wavelet {
class CWaveletEngine;
}

class CFramePipeline {
public:
  // The Decoder thread sleeps until an offer or a stop wakes it; should a wake-up ever be
  // lost (a failed signal), it looks again after this long.
  static constexpr std::uint32_t kIdleWaitMs = 1000;

  CFramePipeline();
  ~CFramePipeline();
  CFramePipeline(const CFramePipeline&) = delete;
  CFramePipeline& operator=(const CFramePipeline&) = delete;

  // Viewer reset: the language table the overlay takes its labels from; the size table
  // gets its start values. Only while no Decoder thread runs.
  void reset(CLanguageTable* language);
  void setResources(paint::ModuleHandle module, const presentation::FontIds& ids);

  // Allocates the two display frames and the work frame, each only when missing. False
  // when one of them cannot be allocated.
  bool allocateFrames();

  // Window thread. busy = false, nothing finished, fillIndex = 0, frames allocated, overlay
  // initialised (once: its fonts are loaded by the first start only), statistics header
  // set, thread started. True when a thread runs (also when it already ran).
  bool startDecoderThread();
  // False while a picture is being processed; else takes `record` (not copied: the caller
  // leaves it alone until takeFinished gives a frame) and returns true.
  bool offer(PictureRecord* record);
  // Window thread: the frame of the picture finished since the last call, or -1 when none
  // is. Taking it ends the hand-over: the record offered belongs to the window side again.
  int takeFinished() { return finished_.exchange(-1, std::memory_order_acq_rel); }
  bool finishedWaiting() const { return finished_.load(std::memory_order_acquire) >= 0; }
  // Asks the thread to stop and waits until it has (a pending picture is finished first).
  void stopDecoderThread();
  bool threadRunning() const { return worker_.running(); }

  // Where kMsgStatus and kMsgFrameDecoded go, and the run number they carry. After setWindow returns nothing
  // is posted into the previous window any more.
  void setWindow(platform::WindowHandle window) { notify_.setWindow(window); }
  platform::WindowHandle window() const { return notify_.window(); }
  void setRun(std::uint32_t run) { notify_.setRun(run); }
  void setStatisticsSwitch(bool on) { statistics_.store(on, std::memory_order_release); }
  // Whether pictures are decoded at the window's size (DecodeLevel.h); any thread, at any
  // time: the next picture the thread takes up follows it. Full until set.
  void setDecodeMode(presentation::DecodeMode mode) { decodeMode_.store(mode, std::memory_order_release); }
  presentation::DecodeMode decodeMode() const { return decodeMode_.load(std::memory_order_acquire); }
  bool busy() const { return busy_.load(std::memory_order_acquire); }

  // --- window side ---
  bool frameReady(int index) const { return validIndex(index) && ready_[index].load(std::memory_order_acquire); }
  void clearReady();
  // Frame memory (null before allocateFrames). The window thread may use frame i only when
  // the Decoder thread is not filling it.
  std::uint8_t* frame(int index) const { return validIndex(index) ? frames_[index] : nullptr; }
  std::uint8_t* workFrame() const { return workFrame_; }
  // Size of the scaled picture in frame i; valid while frameReady(i).
  int frameWidth(int index) const { return validIndex(index) ? frameWidth_[index] : 0; }
  int frameHeight(int index) const { return validIndex(index) ? frameHeight_[index] : 0; }
  int fillIndex() const { return fillIndex_.load(std::memory_order_acquire); }

  Overlay& overlay() { return overlay_; }
  const Overlay& overlay() const { return overlay_; }
  const presentation::SizeTable& sizeTable() const { return sizes_; }

  // Decoder thread's work on one picture, exposed for the benchmarks: decodes `record` into
  // frame `fillIndex` with its overlay. True on success.
  bool processPicture(PictureRecord& record);

  static bool validIndex(int index) { return index == 0 || index == 1; }

private:
  static unsigned threadEntry(void* argument);
  void run();
  // processPicture, with any failure inside (also an exception) a failed decode.
  bool processPictureSafely(PictureRecord& record);
  // Decodes `record` into the work frame at `level`, above the recorder's. width x height:
  // the part the recorder's level shows, in rows `stride` pixels apart.
  bool decodeReduced(const PictureRecord& record, int level, int maxHeight, int& width, int& height, int& stride);
  void freeFrames();

  std::uint8_t* frames_[2] = {nullptr, nullptr};
  std::uint8_t* workFrame_ = nullptr;
  std::atomic<bool> ready_[2];
  std::atomic<int> fillIndex_{0};
  // Per frame, so that a frame on screen keeps its size while the other one is filled.
  int frameWidth_[2] = {0, 0};
  int frameHeight_[2] = {0, 0};

  PictureRecord* record_ = nullptr;
  std::atomic<bool> busy_{false};
  std::atomic<int> finished_{-1}; // frame of a finished picture the window side has not taken
  platform::WakeEvent wake_;      // signalled by offer and stopDecoderThread
  platform::Worker worker_;       // the Decoder thread
  NotifyTarget notify_;
  std::atomic<bool> statistics_{false};
  std::atomic<presentation::DecodeMode> decodeMode_{presentation::DecodeMode::Full};
  int resolutionLevel_ = 0;
  presentation::SizeTable sizes_;
  std::unique_ptr<wavelet::CWaveletEngine> engine_; // reused for every picture
  Overlay overlay_;
  CLanguageTable* language_ = nullptr;
};
