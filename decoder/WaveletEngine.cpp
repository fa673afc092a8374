#include "decoder/WaveletEngine.h"

#include "decoder/BandDecoder.h"
#include "decoder/SynthesisLine.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace wavelet {

CWaveletEngine::~CWaveletEngine() = default;

bool CWaveletEngine::fail(int32_t result) {
  result_ = result;
  return false;
}

bool CWaveletEngine::failBand(int stage, int band) {
  error_ = {stage, band, static_cast<int32_t>(4 * reader_.next)};
  return fail(DEC_BAND_ERROR);
}

bool CWaveletEngine::Init(int32_t width, int32_t height, DecodeSettings& settings) {
  error_ = {};
  result_ = DEC_OK;

  int standard = -1;
  for (int row = 0; row < 2 && standard < 0; ++row)
    for (int h : kSizeTable[row])
      if (h == height) standard = row;
  if (standard < 0 || width <= 0 || width > kMaxWidth) return fail(DEC_BAD_SIZE);
  standard625_ = standard == 0;

  // A region that does not lie inside the picture becomes the whole picture.
  DecodeRegion& r = settings.region;
  if (r.colStart < 0 || r.colEnd > width || r.colStart > r.colEnd) {
    r.colStart = 0;
    r.colEnd = width;
  }
  if (r.rowStart < 0 || r.rowEnd > height || r.rowStart > r.rowEnd) {
    r.rowStart = 0;
    r.rowEnd = height;
  }

  const bool twoFields = settings.twoFields;
  width_ = width;
  fieldHeight_ = twoFields ? height / 2 : height;
  rowStart_ = twoFields ? r.rowStart / 2 : r.rowStart;
  rowEnd_ = twoFields ? r.rowEnd / 2 : r.rowEnd;
  colStart_ = r.colStart;
  colEnd_ = r.colEnd;

  int w = width_;
  int h = fieldHeight_;
  for (int i = 0; i < 6; ++i) w = (w + 1) / 2;
  for (int i = 0; i < 5; ++i) h = (h + 1) / 2;
  if (w < 4 || h < 4) return fail(DEC_TOO_SMALL);

  settings.levels = std::clamp(settings.levels, 0, kMaxSkippedLevels);
  levels_ = settings.levels;
  twoFields_ = twoFields;
  parity_ = 0;
  std::memset(header_, 0, sizeof header_);

  // The four-lane engine places bands on multiples of 4; sizes are the same for both.
  geometry_ = buildSubbandGeometry(width_, fieldHeight_, levels_, isPortable() ? nullptr : roundUpToFour);
  const SubbandDescriptor& crLowest = geometry_.bands[bandIndex(13, 2)];
  const SubbandDescriptor& crHighColumns = geometry_.bands[bandIndex(slotOf(BandKind::HighColumns, 4), 2)];
  const SubbandDescriptor& crHighLines = geometry_.bands[bandIndex(slotOf(BandKind::HighLines, 4), 2)];
  if (crLowest.width + crHighColumns.width < 5 || crLowest.height + crHighLines.height < 5) return fail(DEC_TOO_SMALL);

  if (!layOutBuffer()) return fail(DEC_NO_MEMORY);
  return true;
}

bool CWaveletEngine::layOutBuffer() {
  // Each plane and the scratch area start on a 32-byte boundary (16 samples).
  auto alignUp = [](long n) { return (n + 15) & ~15L; };
  long planeSamples[kComponentCount];
  long total = 0;
  for (int c = 0; c < kComponentCount; ++c) {
    planeSamples[c] = alignUp(static_cast<long>(geometry_.stride[c]) * geometry_.planeHeight);
    total += planeSamples[c];
  }
  const int longest = std::max(geometry_.stride[0], geometry_.planeHeight);
  scratchSamples_ = (longest + 24) * kColumnLanes;
  total += scratchSamples_;
  // The four-lane line synthesis reads up to a block past a line's end and puts two mirrored
  // samples there for a moment: the last plane's last line needs room after it.
  total += kLinePadding;
  if (total > bufferSamples_) {
    // The decoder runs on a worker thread inside a browser: a failed allocation fails the
    // decode and keeps the old buffer, it never throws.
    int16_t* larger = new (std::nothrow) int16_t[static_cast<size_t>(total) + 16]; // + 16: room to align the start
    if (larger == nullptr) return false;
    buffer_.reset(larger);
    bufferSamples_ = total;
  }
  int16_t* p = buffer_.get();
  p += (16 - (reinterpret_cast<uintptr_t>(p) / sizeof(int16_t)) % 16) % 16;
  scratch_ = p;
  p += scratchSamples_;
  for (int c = 0; c < kComponentCount; ++c) {
    planes_[c] = p;
    p += planeSamples[c];
  }
  for (SubbandDescriptor& band : geometry_.bands) {
    if (band.level < levels_) continue;
    band.plane = planes_[band.component];
    band.stride = geometry_.stride[band.component];
  }
  return true;
}

void CWaveletEngine::clearDecodedArea() {
  // Only the bands that are decoded are read later (the transform and the conversion stay
  // inside them): with finest levels left out that is a small corner of each plane.
  for (int c = 0; c < kComponentCount; ++c) {
    int width = 0;
    int height = 0;
    for (const SubbandDescriptor& band : geometry_.bands)
      if (band.component == c && band.level >= levels_) {
        width = std::max(width, band.column + band.width);
        height = std::max(height, band.line + band.height);
      }
    const long stride = geometry_.stride[c];
    if (width == stride) {
      std::memset(planes_[c], 0, sizeof(int16_t) * static_cast<size_t>(stride * height));
    } else {
      for (int line = 0; line < height; ++line)
        std::memset(planes_[c] + line * stride, 0, sizeof(int16_t) * static_cast<size_t>(width));
    }
  }
}

bool CWaveletEngine::DecodeField(const uint8_t* data, uint32_t length) {
  reader_.Start(data, data != nullptr ? length : 0);
  int parity = 0;
  if (!reader_.ReadFieldHeader(parity, header_)) {
    error_ = {ERR_FIELD_HEADER, 0, 0};
    return fail(DEC_BAD_HEADER);
  }
  parity_ = parity;
  clearDecodedArea();

  for (int i = 0; i < kBandCount; ++i) {
    const int b = kBandOrder[i];
    SubbandDescriptor& band = geometry_.bands[b];
    int type = 0;
    int16_t quantiser = 0;
    bool empty = false;
    if (int error = reader_.ReadBandHeader(type, quantiser, empty)) return failBand(error, b);
    band.quantiser = quantiser;
    if (band.level < levels_ || empty) {
      if (i != kBandCount - 1) reader_.SkipToMarker();
      continue;
    }
    CodeTableId table{};
    codeTableForBandType(type, table);
    const BandScaling scaling{dequantisesWhileDecoding(), quantiser};
    const int error =
        table == CodeTableId::ClassA ? DecodeBandA(reader_, band, scaling) : DecodeBandB(reader_, band, table, scaling);
    if (error != ERR_NONE) return failBand(error, b);
  }
  return true;
}

int CWaveletEngine::outputLines() const {
  const int lines = (rowEnd_ - rowStart_) * (twoFields_ ? 2 : 1);
  return lines >> levels_;
}

CWaveletEngine::OutputRegion CWaveletEngine::outputRegion() const {
  const int s = 1 << levels_;
  const int t = (s + 1) / 2;
  OutputRegion r{};
  r.firstColumn = colStart_ / s;
  r.sourceLines = rowEnd_ / t - rowStart_ / t;
  if (twoFields_ && levels_ == 0) {
    r.lineStep = 2;
    r.linesPerOutput = 1;
    r.fieldOffset = standard625_ ? parity_ : 1 - parity_;
  } else {
    r.lineStep = 1;
    r.linesPerOutput = (!twoFields_ && levels_ >= 1) ? 2 : 1;
    r.fieldOffset = 0;
  }
  return r;
}

int CWaveletEngine::outputRow(const OutputRegion& r, int i) const {
  const int o = r.linesPerOutput;
  const int row = r.lineStep * (r.sourceLines / o - i / o) - r.fieldOffset - 1;
  return row >= 0 && row < outputLines() ? row : -1;
}

uint8_t* CWaveletEngine::convertedRow(int row, int width) {
  if (stretchWidth_ == 0) return outputRowPointer(row, 3 * width);
  // The line buffer is the transform's scratch, unused once the planes are rebuilt.
  const long lineBytes = 2L * scratchSamples_;
  if (3L * width > lineBytes || outputRowPointer(row, stretchStride_) == nullptr) return nullptr;
  if (!stretch_.prepare(width, stretchWidth_)) return nullptr;
  return reinterpret_cast<uint8_t*>(scratch_);
}

void CWaveletEngine::finishRow(int row, const uint8_t* converted) {
  if (stretchWidth_ == 0) return;
  stretch_.apply(converted, outputRowPointer(row, stretchStride_));
}

void CWaveletEngine::DoubleLines(int rowBytes) {
  const OutputRegion r = outputRegion();
  const int lines = outputLines();
  if (rowBytes <= 0) return;
  for (int k = 0; 2 * k + 1 < lines && k < r.sourceLines; ++k) {
    const int from = r.fieldOffset == 1 ? 2 * k : 2 * k + 1;
    const int to = r.fieldOffset == 1 ? 2 * k + 1 : 2 * k;
    uint8_t* target = outputRowPointer(to, rowBytes);
    const uint8_t* source = outputRowPointer(from, rowBytes);
    if (target != nullptr && source != nullptr) std::memcpy(target, source, static_cast<size_t>(rowBytes));
  }
}

void CWaveletEngine::synthesiseLines(int component, int firstLine, int lines, int nLow, int highColumn, int nHigh,
                                     int lowFactor, int highFactor, LineKernel kernel) {
  const long stride = geometry_.stride[component];
  const int n = nLow + nHigh;
  for (int line = firstLine; line < firstLine + lines; ++line) {
    int16_t* row = planes_[component] + line * stride;
    int16_t* low = nullptr;
    int16_t* high = nullptr;
    extendLine(row, lowFactor, row + highColumn, highFactor, n, scratch_, low, high);
    kernel(low, high, n, row);
  }
}

void CWaveletEngine::synthesiseColumns(int component, int columns, int nLow, int highLine, int nHigh,
                                       ColumnsKernel kernel) {
  const long stride = geometry_.stride[component];
  const int n = nLow + nHigh;
  int16_t* plane = planes_[component];
  for (int first = 0; first < columns; first += kColumnLanes) {
    const int lanes = std::min(kColumnLanes, columns - first);
    int16_t* low = nullptr;
    int16_t* high = nullptr;
    extendColumns(plane + first, plane + highLine * stride + first, stride, n, lanes, kColumnLanes, scratch_, low,
                  high);
    kernel(low, high, n, lanes, kColumnLanes, plane + first, stride);
  }
}

} // namespace wavelet
