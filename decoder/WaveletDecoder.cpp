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

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

} // namespace

std::unique_ptr<CWaveletEngine> CreateWaveletEngine(EngineKind kind, SimdLevel simd) {
  if (kind == EngineKind::Automatic) kind = ProcessorHasMmx() ? EngineKind::Mmx : EngineKind::Portable;
  if (kind == EngineKind::Mmx) return std::unique_ptr<CWaveletEngine>(new (std::nothrow) CMmxEngine(simd));
  return std::unique_ptr<CWaveletEngine>(new (std::nothrow) CPortableEngine(simd));
}

CWaveletDecoder::CWaveletDecoder(int32_t width, int32_t height)
    : CWaveletDecoder(width, height, EngineKind::Automatic) {}

CWaveletDecoder::CWaveletDecoder(int32_t width_, int32_t height_, EngineKind kind, SimdLevel simd)
    : width(width_), height(height_), ownEngine(CreateWaveletEngine(kind, simd)), engine(ownEngine.get()) {
  // Without an engine (no memory) Decode fails with DEC_NO_MEMORY.
  portable = engine != nullptr ? engine->IsPortable()
                               : kind == EngineKind::Portable || (kind == EngineKind::Automatic && !ProcessorHasMmx());
}

CWaveletDecoder::CWaveletDecoder(int32_t width_, int32_t height_, CWaveletEngine& borrowed)
    : width(width_), height(height_), engine(&borrowed) {
  portable = engine->IsPortable();
}

CWaveletDecoder::~CWaveletDecoder() = default;

bool CWaveletDecoder::Fail(DecodeReport& report) const {
  report.result = engine->Result();
  report.errorStage = engine->Error().stage;
  report.errorBand = engine->Error().band;
  report.errorOffset = engine->Error().offset;
  return false;
}

bool CWaveletDecoder::DecodeOneField(const uint8_t* data, int32_t length, DecodeReport& report, int& convertedWidth) {
  Clock::time_point start = Clock::now();
  if (!engine->DecodeField(data, length > 0 ? static_cast<uint32_t>(length) : 0u)) return Fail(report);
  report.timeEntropy += SecondsSince(start);
  start = Clock::now();
  engine->InverseTransform();
  report.timeTransform += SecondsSince(start);
  start = Clock::now();
  convertedWidth = engine->ConvertToBgr(0, 0, 0); // no colour offsets
  report.timeColour += SecondsSince(start);
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
    Fail(report);
    return report;
  }
  report.region = settings.region;
  report.outHeight = engine->OutputLines();
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
  engine->SetOutput(settings.output, static_cast<long>(required));
  if (stretched && !engine->SetStretchedOutput(settings.outputWidth, settings.outputStride)) {
    report.result = DEC_NO_OUTPUT;
    return report;
  }

  int convertedWidth = 0;
  if (!DecodeOneField(settings.firstFieldData, settings.firstFieldLength, report, convertedWidth)) return report;
  if (settings.levels == 0) {
    if (settings.secondFieldData != nullptr) {
      if (!DecodeOneField(settings.secondFieldData, settings.secondFieldLength, report, convertedWidth)) return report;
    } else if (settings.twoFields) {
      engine->DoubleLines(engine->OutputPitch(convertedWidth));
    }
  }

  report.outWidth = convertedWidth;
  report.outputSize = report.outHeight * engine->OutputPitch(convertedWidth);
  report.timeTotal = SecondsSince(start);
  return report;
}

} // namespace wavelet
