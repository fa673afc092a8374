#include "decoder/WaveletDecoder.h"

#include "decoder/CpuFeatures.h"
#include "decoder/MmxEngine.h"
#include "decoder/PortableEngine.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace wavelet {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

} // namespace

std::unique_ptr<CWaveletEngine> createWaveletEngine(EngineKind kind, SimdLevel simd) {
  if (kind == EngineKind::Automatic) kind = processorHasMmx() ? EngineKind::Mmx : EngineKind::Portable;
  if (kind == EngineKind::Mmx) return std::unique_ptr<CWaveletEngine>(new (std::nothrow) CMmxEngine(simd));
  return std::unique_ptr<CWaveletEngine>(new (std::nothrow) CPortableEngine(simd));
}

CWaveletDecoder::CWaveletDecoder(int32_t width, int32_t height)
    : CWaveletDecoder(width, height, EngineKind::Automatic) {}

CWaveletDecoder::CWaveletDecoder(int32_t width_, int32_t height_, EngineKind kind, SimdLevel simd)
    : width(width_), height(height_), ownEngine(createWaveletEngine(kind, simd)), engine(ownEngine.get()) {
  // Without an engine (no memory) Decode fails with DEC_NO_MEMORY.
  portable = engine != nullptr ? engine->isPortable()
                               : kind == EngineKind::Portable || (kind == EngineKind::Automatic && !processorHasMmx());
}

CWaveletDecoder::CWaveletDecoder(int32_t width_, int32_t height_, CWaveletEngine& borrowed)
    : width(width_), height(height_), engine(&borrowed) {
  portable = engine->isPortable();
}

CWaveletDecoder::~CWaveletDecoder() = default;

bool CWaveletDecoder::fail(DecodeReport& report) const {
  report.result = engine->result();
  report.errorStage = engine->error().stage;
  report.errorBand = engine->error().band;
  report.errorOffset = engine->error().offset;
  return false;
}

bool CWaveletDecoder::decodeOneField(const uint8_t* data, int32_t length, DecodeReport& report, int& convertedWidth) {
  Clock::time_point start = Clock::now();
  if (!engine->DecodeField(data, length > 0 ? static_cast<uint32_t>(length) : 0u)) return fail(report);
  report.timeEntropy += secondsSince(start);
  start = Clock::now();
  engine->InverseTransform();
  report.timeTransform += secondsSince(start);
  start = Clock::now();
  convertedWidth = engine->ConvertToBgr(0, 0, 0); // no colour offsets
  report.timeColour += secondsSince(start);
  return true;
}

DecodeReport CWaveletDecoder::Decode(const DecodeSettings& requested) noexcept {
  const Clock::time_point start = Clock::now();
  DecodeReport report;
  if (engine == nullptr) {
    report.result = DEC_NO_MEMORY;
    return report;
  }
  DecodeSettings settings = requested;
  if (!engine->Init(width, height, settings)) {
    fail(report);
    return report;
  }
  report.region = settings.region;
  report.outHeight = engine->outputLines();
  report.outWidth = settings.region.colEnd - settings.region.colStart;

  // The frame must hold the whole picture: every placement below stays inside it.
  const bool stretched = settings.outputWidth != 0;
  const std::size_t rowBytes =
      stretched ? static_cast<std::size_t>(std::max(settings.outputStride, 0)) : static_cast<std::size_t>(width) * 3;
  const std::size_t required = rowBytes * static_cast<std::size_t>(height);
  if (settings.output == nullptr || settings.outputSize < required) {
    report.result = DEC_NO_OUTPUT;
    return report;
  }
  engine->setOutput(settings.output, static_cast<long>(required));
  if (stretched && !engine->setStretchedOutput(settings.outputWidth, settings.outputStride)) {
    report.result = DEC_NO_OUTPUT;
    return report;
  }

  int convertedWidth = 0;
  if (!decodeOneField(settings.firstFieldData, settings.firstFieldLength, report, convertedWidth)) return report;
  if (settings.levels == 0) {
    if (settings.secondFieldData != nullptr) {
      if (!decodeOneField(settings.secondFieldData, settings.secondFieldLength, report, convertedWidth)) return report;
    } else if (settings.twoFields) {
      engine->DoubleLines(engine->outputPitch(convertedWidth));
    }
  }

  report.outWidth = convertedWidth;
  report.outputSize = report.outHeight * engine->outputPitch(convertedWidth);
  report.timeTotal = secondsSince(start);
  return report;
}

} // namespace wavelet
