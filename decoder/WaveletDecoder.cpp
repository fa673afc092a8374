#include "decoder/WaveletDecoder.h"

#include "decoder/CpuFeatures.h"
#include "decoder/MmxEngine.h"
#include "decoder/PortableEngine.h"

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
    : width(width_), height(height_), rowEnd(height_), colEnd(width_), ownEngine(CreateWaveletEngine(kind, simd)),
      engine(ownEngine.get()) {
  // Without an engine (no memory) Decode fails with DEC_NO_MEMORY.
  portable = engine != nullptr ? engine->IsPortable()
                               : kind == EngineKind::Portable || (kind == EngineKind::Automatic && !ProcessorHasMmx());
}

CWaveletDecoder::CWaveletDecoder(int32_t width_, int32_t height_, CWaveletEngine& borrowed)
    : width(width_), height(height_), rowEnd(height_), colEnd(width_), engine(&borrowed) {
  portable = engine->IsPortable();
}

CWaveletDecoder::~CWaveletDecoder() = default;

bool CWaveletDecoder::Fail() {
  result = engine->Result();
  errorStage = engine->Error().stage;
  errorBand = engine->Error().band;
  errorOffset = engine->Error().offset;
  return false;
}

bool CWaveletDecoder::DecodeOneField(const uint8_t* data, int32_t length, int& convertedWidth) {
  Clock::time_point start = Clock::now();
  if (!engine->DecodeField(data, length > 0 ? static_cast<uint32_t>(length) : 0u)) return Fail();
  timeEntropy += SecondsSince(start);
  start = Clock::now();
  engine->InverseTransform();
  timeTransform += SecondsSince(start);
  start = Clock::now();
  convertedWidth = engine->ConvertToBgr(offsetRed, offsetGreen, offsetBlue);
  timeColour += SecondsSince(start);
  return true;
}

bool CWaveletDecoder::Decode() {
  const Clock::time_point start = Clock::now();
  timeTotal = timeEntropy = timeTransform = timeColour = 0;
  errorStage = ERR_NONE;
  errorBand = 0;
  errorOffset = 0;
  result = DEC_OK;
  if (engine == nullptr) {
    result = DEC_NO_MEMORY;
    return false;
  }
  if (!engine->Init(*this)) return Fail();

  outHeight = engine->OutputLines();
  outWidth = colEnd - colStart;

  // The frame must hold the whole picture: every placement below stays inside it.
  const long required = static_cast<long>(width) * height * 3;
  if (output == nullptr || outputSize <= 0 || outputSize < required) {
    result = DEC_NO_OUTPUT;
    return false;
  }
  engine->SetOutput(output, outputSize);
  outputSize = static_cast<int32_t>(required);

  int convertedWidth = 0;
  if (!DecodeOneField(firstFieldData, firstFieldLength, convertedWidth)) return false;
  if (levels == 0) {
    if (secondFieldData != nullptr) {
      if (!DecodeOneField(secondFieldData, secondFieldLength, convertedWidth)) return false;
    } else if (twoFields) {
      engine->DoubleLines(3 * convertedWidth);
    }
  }

  outWidth = convertedWidth;
  outputSize = outHeight * outWidth * 3;
  timeTotal = SecondsSince(start);
  return true;
}

} // namespace wavelet
