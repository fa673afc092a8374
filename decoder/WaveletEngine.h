// Per-picture working state of the wavelet decoder and the steps both engine variants share.
//
// CWaveletEngine validates the picture geometry (Init), entropy-decodes a field stream into
// three planes of 16-bit coefficients (DecodeField), and places converted lines into the
// output frame. The variants differ in arithmetic: CPortableEngine (plain integers and single
// precision floats) and CMmxEngine (four-lane 16-bit fixed point, bands laid out on multiples
// of 4). An engine may be reused for any number of pictures: its working buffer only grows.
#pragma once

#include "decoder/BitReader.h"
#include "decoder/DecodeSettings.h"
#include "decoder/DecodeStatus.h"
#include "decoder/RowStretch.h"
#include "decoder/SubbandGeometry.h"

#include <cstdint>
#include <memory>

namespace wavelet {

// Picture heights the decoder accepts: 625-line standard (first row), 525-line standard.
constexpr int kSizeTable[2][6] = {{576, 288, 144, 72, 36, 18}, {486, 243, 122, 61, 31, 16}};

class CWaveletEngine {
public:
  virtual ~CWaveletEngine();

  // Rebuilds every plane from its sub-bands, in place.
  virtual void InverseTransform() = 0;
  // Converts the decoded region into output pixels; returns the pixels written per line.
  virtual int ConvertToBgr(int offsetRed, int offsetGreen, int offsetBlue) = 0;
  // True when band values are dequantised as they are decoded ((q * x + 4) >> 3, the portable
  // engine); the four-lane engine scales bands later, in its transform.
  virtual bool dequantisesWhileDecoding() const = 0;
  // Rounds a plane extent when the layout is built.
  virtual int RoundDimension(int n) const = 0;
  virtual bool isPortable() const = 0;

  // Largest picture width accepted (the buffer grows with it).
  static constexpr int kMaxWidth = 4096;

  // Checks the picture size and the settings, bringing the region and the level into range in
  // place, builds the geometry and sizes the working buffer. On failure Result says why.
  bool Init(int32_t width, int32_t height, DecodeSettings& settings);
  // Entropy-decodes one field stream into the planes; on failure sets result and error record.
  bool DecodeField(const uint8_t* data, uint32_t length);
  // Copies every converted line of the decoded field onto its neighbour of the missing field.
  void DoubleLines(int rowBytes);
  // Output lines of the frame (both fields, reduced by the skipped levels).
  int outputLines() const;

  int32_t result() const { return result_; }
  const ErrorRecord& error() const { return error_; }

  void setOutput(uint8_t* output, long capacity) {
    output_ = output;
    outputCapacity_ = capacity;
    stretchWidth_ = 0;
    stretchStride_ = 0;
  }
  // After setOutput: converted rows are stretched to `width` pixels, `stride` bytes apart
  // (width 1..RowStretch::kMaxDestWidth, stride at least width * 3; false otherwise).
  bool setStretchedOutput(int width, int stride) {
    if (width <= 0 || width > RowStretch::kMaxDestWidth || stride < 3 * width) return false;
    stretchWidth_ = width;
    stretchStride_ = stride;
    return true;
  }
  // Bytes from one output row to the next for rows of `convertedWidth` pixels.
  int outputPitch(int convertedWidth) const { return stretchWidth_ > 0 ? stretchStride_ : 3 * convertedWidth; }

  // Read access for tests and tools.
  const SubbandGeometry& geometry() const { return geometry_; }
  int parity() const { return parity_; }
  bool standard625() const { return standard625_; }
  const uint8_t* headerBytes() const { return header_; }
  const int16_t* plane(int component) const { return planes_[component]; }

protected:
  // The region in output terms at the current scale, shared by both conversions.
  struct OutputRegion {
    int firstColumn;    // luminance column c0 of the first pixel
    int sourceLines;    // d
    int lineStep;       // m
    int linesPerOutput; // o
    int fieldOffset;    // f
  };
  OutputRegion outputRegion() const;
  // Buffer row of source line i, or -1 when it falls outside the frame.
  int outputRow(const OutputRegion& region, int sourceLine) const;
  // Start of an output row, or null when the row would not fit the output buffer.
  uint8_t* outputRowPointer(int row, int rowBytes) const {
    const long start = static_cast<long>(row) * rowBytes;
    return output_ != nullptr && row >= 0 && start + rowBytes <= outputCapacity_ ? output_ + start : nullptr;
  }

  // Where the conversion writes output row `row` of `width` pixels: the row itself, or, when
  // rows are stretched, the line buffer that finishRow stretches into it. Null when the row
  // does not fit the output.
  uint8_t* convertedRow(int row, int width);
  void finishRow(int row, const uint8_t* converted);

  // One-dimensional synthesis kernels: extended arrays in (see SynthesisLine.h), samples out.
  using LineKernel = void (*)(const int16_t* low, const int16_t* high, int n, int16_t* out);
  using ColumnsKernel = void (*)(const int16_t* low, const int16_t* high, int n, int lanes, int laneStride,
                                 int16_t* out, long outStride);
  // Synthesises `lines` lines of a plane starting at firstLine: the low samples are columns
  // 0..nLow-1, the high samples nHigh columns from highColumn on, each multiplied by its
  // factor (low 16 bits kept); the result replaces columns 0..nLow+nHigh-1.
  void synthesiseLines(int component, int firstLine, int lines, int nLow, int highColumn, int nHigh, int lowFactor,
                       int highFactor, LineKernel kernel);
  // Synthesises columns 0..columns-1: low samples in lines 0..nLow-1, high samples nHigh lines
  // from highLine on; the result replaces lines 0..nLow+nHigh-1.
  void synthesiseColumns(int component, int columns, int nLow, int highLine, int nHigh, ColumnsKernel kernel);

  // Scratch for the transform: at least `samples` 16-bit samples, 32-byte aligned.
  int16_t* scratch() const { return scratch_; }
  int scratchSamples() const { return scratchSamples_; }
  SubbandDescriptor& band(int band) { return geometry_.bands[band]; }

  SubbandGeometry geometry_;
  int16_t* planes_[kComponentCount] = {};
  int width_ = 0;       // picture width
  int fieldHeight_ = 0; // lines per field
  int rowStart_ = 0;    // decoded region, field lines
  int rowEnd_ = 0;
  int colStart_ = 0;
  int colEnd_ = 0;
  int levels_ = 0;
  bool twoFields_ = true;
  int parity_ = 0;
  bool standard625_ = true;
  uint8_t header_[BitReader::kHeaderBytes] = {};
  uint8_t* output_ = nullptr;
  long outputCapacity_ = 0;
  int stretchWidth_ = 0; // 0: rows are written as converted
  int stretchStride_ = 0;
  RowStretch stretch_;
  int32_t result_ = DEC_OK;
  ErrorRecord error_;
  BitReader reader_;

  // Scratch lanes of the column passes (a multiple of 16).
  static constexpr int kColumnLanes = 32;
  // Samples after the last plane that a line synthesis may read or briefly write.
  static constexpr int kLinePadding = 48;

private:
  bool fail(int32_t result);
  bool failBand(int stage, int band);
  bool layOutBuffer(); // false when the buffer cannot grow
  // Zeroes the part of each plane that the decoded bands cover (runs of zeros skip samples).
  void clearDecodedArea();

  std::unique_ptr<int16_t[]> buffer_;
  long bufferSamples_ = 0;
  int16_t* scratch_ = nullptr;
  int scratchSamples_ = 0;
};

enum class EngineKind { Automatic, Portable, Mmx };
// How an engine runs its arithmetic: a scalar model (definition) or SIMD of the CPU, with
// identical results. The portable engine knows Scalar and SSE2 only.
enum class SimdLevel { Automatic, Scalar, Sse2, Avx2 };

// Creates an engine; Automatic follows the processor detection. Null when there is no memory.
std::unique_ptr<CWaveletEngine> createWaveletEngine(EngineKind kind = EngineKind::Automatic,
                                                    SimdLevel simd = SimdLevel::Automatic);

} // namespace wavelet
