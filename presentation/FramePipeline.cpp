#include "presentation/FramePipeline.h"

#include "decoder/WaveletEngine.h"
#include "engine/StatusIndex.h"
#include "platform/Time.h"
#include "presentation/FrameLayout.h"
#include "presentation/PictureDecode.h"
#include "presentation/Scaler.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr const char* kStatsHeader = "REC   MAIN  DEC   SDEC  SIZE  TEXT";
}

CFramePipeline::CFramePipeline() {
  ready_[0].store(false);
  ready_[1].store(false);
}

CFramePipeline::~CFramePipeline() {
  stopDecoderThread();
  freeFrames();
}

void CFramePipeline::reset(CLanguageTable* language) {
  language_ = language;
  sizes_.reset();
  clearReady();
  fillIndex_.store(0, std::memory_order_release);
  busy_.store(false, std::memory_order_release);
  finished_.store(-1, std::memory_order_release);
  statistics_.store(false, std::memory_order_release);
  notify_.setWindow(nullptr);
  record_ = nullptr;
}

void CFramePipeline::setResources(paint::ModuleHandle module, const presentation::FontIds& ids) {
  overlay_.setResources(module, ids);
}

bool CFramePipeline::allocateFrames() {
  std::uint8_t** buffers[] = {&frames_[0], &frames_[1], &workFrame_};
  for (std::uint8_t** buffer : buffers)
    if (!*buffer) *buffer = new (std::nothrow) std::uint8_t[presentation::kFrameBytes];
  return frames_[0] && frames_[1] && workFrame_;
}

void CFramePipeline::freeFrames() {
  std::uint8_t** buffers[] = {&frames_[0], &frames_[1], &workFrame_};
  for (std::uint8_t** buffer : buffers) {
    delete[] * buffer;
    *buffer = nullptr;
  }
}

void CFramePipeline::clearReady() {
  ready_[0].store(false, std::memory_order_release);
  ready_[1].store(false, std::memory_order_release);
}

bool CFramePipeline::startDecoderThread() {
  if (worker_.running()) return true;
  busy_.store(false, std::memory_order_release);
  finished_.store(-1, std::memory_order_release);
  fillIndex_.store(0, std::memory_order_release);
  allocateFrames();
  if (!engine_) {
    // The decoder's engine allocates with new: no memory ends in an exception, which must
    // not leave the viewer. Without an engine no thread starts.
    try {
      engine_ = wavelet::createWaveletEngine();
    } catch (...) {
      engine_.reset();
    }
  }
  if (!engine_ || !overlay_.initOverlay(language_)) return false;
  overlay_.stats().setStatsHeader(kStatsHeader);
  overlay_.stats().publish();
  wake_.reset();
  return worker_.start(&CFramePipeline::threadEntry, this);
}

bool CFramePipeline::offer(PictureRecord* record) {
  if (!record || busy_.load(std::memory_order_acquire)) return false;
  // The Decoder thread is idle: hand the window thread's statistics texts over now.
  overlay_.stats().publish();
  record_ = record;
  busy_.store(true, std::memory_order_release);
  wake_.signal();
  return true;
}

void CFramePipeline::stopDecoderThread() {
  // The thread leaves at its next look at the request: at once from its wait, or after the
  // picture it is working on.
  worker_.stop([this] { wake_.signal(); });
}

unsigned CFramePipeline::threadEntry(void* argument) {
  static_cast<CFramePipeline*>(argument)->run();
  return 0;
}

bool CFramePipeline::processPictureSafely(PictureRecord& record) {
  try {
    return processPicture(record);
  } catch (...) {
    // The decoder ran out of memory (or failed otherwise): a failed decode, not the end of
    // the process.
    ready_[fillIndex_.load(std::memory_order_relaxed)].store(false, std::memory_order_release);
    return false;
  }
}

void CFramePipeline::run() {
  for (;;) {
    // Cleared before the flags are read: an offer or stop after this point leaves the event
    // raised, and the wait below returns at once.
    wake_.reset();
    if (busy_.load(std::memory_order_acquire)) {
      const int index = fillIndex_.load(std::memory_order_relaxed);
      const bool ok = processPictureSafely(*record_);
      fillIndex_.store(1 - index, std::memory_order_release);
      // The record is not touched any more: free for the next offer, then finished, then
      // told. Whoever sees the finished mark also sees the pipeline idle.
      busy_.store(false, std::memory_order_release);
      finished_.store(index, std::memory_order_release);
      if (!ok) notify_.post(platform::kMsgStatus, kStatusDecompressError, 0);
      notify_.post(platform::kMsgFrameDecoded, std::uintptr_t(index), 0);
    }
    if (worker_.stopRequested()) return;
    if (busy_.load(std::memory_order_acquire)) continue;
    wake_.wait(kIdleWaitMs);
  }
}

bool CFramePipeline::decodeReduced(const PictureRecord& record, int level, int maxHeight, int& width, int& height,
                                   int& stride) {
  // Every column of the picture: the columns shown may reach beyond the column limit of the
  // level, and the decoder's output width is rounded by its engine.
  presentation::DecodeRequest request;
  request.maxWidth = presentation::kDecoderMaxWidth;
  request.maxHeight = maxHeight;
  request.columnLimit = presentation::kDecoderMaxWidth;
  request.skipLevels = level;
  const presentation::DecodeOutcome outcome =
      presentation::decodePicture(record, request, *engine_, workFrame_, presentation::kFrameBytes);
  if (!outcome.ok) return false;
  // The picture columns the recorder's level shows (its decoded width there), so that the
  // window shows the same part of the picture as a decode at that level.
  const int shown = presentation::columnsAtLevel(sizes_.decodedWidth[resolutionLevel_] << resolutionLevel_, level);
  width = std::min(shown, outcome.width);
  height = outcome.height;
  stride = outcome.width;
  return true;
}

bool CFramePipeline::processPicture(PictureRecord& record) {
  const int index = fillIndex_.load(std::memory_order_relaxed);
  record.timing[PictureRecord::kTimingDecodeBegin] = platform::tickCount();
  resolutionLevel_ = record.resolutionLevel();
  ready_[index].store(false, std::memory_order_release);
  // The window size the picture is rendered for (also after a failed decode).
  const int width = std::clamp(record.clientWidth, 0, presentation::kFrameMaxWidth);
  const int height = std::clamp(record.clientHeight, 0, presentation::kFrameMaxHeight);

  // The level comes from the recorder: only the five known levels index the size table.
  const bool levelKnown = presentation::SizeTable::validLevel(resolutionLevel_);
  const bool standard576 = record.isVideoStandard576();
  bool ok = false;
  bool direct = false;    // decoded into the display frame itself
  bool stretched = false; // ... with its rows stretched to the window's width
  int sourceWidth = 0;    // the decoded picture, as the scaler reads it
  int sourceHeight = 0;
  int reducedStride = 0; // of a picture decoded above the recorder's level, else 0
  const bool canDecode = frames_[index] && workFrame_ && engine_ && levelKnown;
  const int pictureHeight = sizes_.heights(standard576)[0];
  // Above the recorder's level only when the viewer decodes at the window's size.
  const int level = canDecode ? presentation::decodeLevel(decodeMode(), resolutionLevel_,
                                                          presentation::kDecoderMaxWidth, pictureHeight, width, height)
                              : resolutionLevel_;
  if (canDecode && level != resolutionLevel_) {
    ok = decodeReduced(record, level, pictureHeight, sourceWidth, sourceHeight, reducedStride);
  } else if (canDecode) {
    int* heights = sizes_.heights(standard576);
    // A picture of the frame's own size (as the last one of its level and standard was) needs
    // no scaling: the decoder writes straight into the display frame, saving a copy of the
    // whole picture through the work frame. One of the frame's height but another width has
    // its rows stretched as they are decoded, into the display frame too.
    direct = heights[resolutionLevel_] == height && width > 0;
    stretched = direct && sizes_.decodedWidth[resolutionLevel_] != width;
    presentation::DecodeRequest request;
    request.maxWidth = presentation::kDecoderMaxWidth;
    request.maxHeight = heights[0];
    request.columnLimit = sizes_.columnLimit[resolutionLevel_];
    request.skipLevels = resolutionLevel_;
    request.stretchWidth = stretched ? width : 0;
    presentation::DecodeOutcome outcome = presentation::decodePicture(
        record, request, *engine_, direct ? frames_[index] : workFrame_, presentation::kFrameBytes);
    ok = outcome.ok;
    if (ok) {
      sizes_.decodedWidth[resolutionLevel_] = outcome.width;
      heights[resolutionLevel_] = outcome.height;
    }
    sourceWidth = sizes_.decodedWidth[resolutionLevel_];
    sourceHeight = heights[resolutionLevel_];
  }
  record.timing[PictureRecord::kTimingDecodeEnd] = platform::tickCount();
  frameWidth_[index] = width;
  frameHeight_[index] = height;

  if (ok) {
    std::uint8_t* frame = frames_[index];
    if (reducedStride > 0) {
      presentation::scaleReduced(workFrame_, reducedStride, sourceWidth, sourceHeight, level, frame, width, height);
    } else if (direct && sourceHeight == height && (stretched || sourceWidth == width)) {
      // Rows of the window's width in the frame layout already, or packed rows to spread.
      if (!stretched) presentation::spreadRows(frame, width, height);
    } else if (stretched) {
      // The height changed since the last picture of this level: the rows have the window's
      // width already and only rows are picked (the same pixels as scaling the decoded picture).
      const std::size_t packed = std::size_t(width) * 3;
      const std::size_t stride = std::size_t(presentation::frameStride(width));
      for (int row = 0; row < sourceHeight; ++row)
        std::memcpy(workFrame_ + std::size_t(row) * packed, frame + std::size_t(row) * stride, packed);
      presentation::scaleNearest(workFrame_, width, sourceHeight, frame, width, height);
    } else {
      // A picture decoded into the frame whose size changed is scaled from the work frame.
      if (direct) std::memcpy(workFrame_, frame, std::size_t(sourceWidth) * std::size_t(sourceHeight) * 3);
      presentation::scaleNearest(workFrame_, sourceWidth, sourceHeight, frame, width, height);
    }
    if (width > 0 && height > 0) {
      overlay_.setDestination(width, height, frame);
      overlay_.setRecord(&record);
      overlay_.drawOverlay(true);
    }
    record.timing[PictureRecord::kTimingComplete] = platform::tickCount();
    if (statistics_.load(std::memory_order_acquire)) {
      char row[presentation::StatsTexts::kTextSize];
      presentation::formatStatsRow(record.timing, row);
      overlay_.stats().addStatsRow(row);
      if (width > 0 && height > 0) overlay_.drawStats();
    }
    ready_[index].store(true, std::memory_order_release);
  }
  return ok;
}
