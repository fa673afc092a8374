#include "recorder/encoder/FieldEncoder.h"

#include <algorithm>
#include <cmath>

#include "recorder/encoder/BitWriter.h"
#include "recorder/encoder/Quantisers.h"

namespace wavelet {
namespace {

constexpr uint32_t kParityByteBase = 0x40;
constexpr int kOpaqueHeaderBytes = 14;

// The decoders rebuild coefficients in 16-bit samples, the four-lane engine at twice the
// scale; keeping every rebuilt coefficient within +-16383 keeps both free of wrap-around.
constexpr int32_t kLargestCoefficient = 16383;

// Rounding of |coefficient| / step: the lowest band to the nearest value; the detail bands
// with a slightly wider zero zone, which saves bits on noise at almost no cost in quality.
constexpr float kLowestBandRounding = 0.5f;
constexpr float kDetailBandRounding = 0.375f;

} // namespace

void FieldEncoder::analyse(const FieldSource& source) {
  if (source.width != geometryWidth_ || source.lines != geometryLines_) {
    geometry_ = buildSubbandGeometry(source.width, source.lines, 0);
    geometryWidth_ = source.width;
    geometryLines_ = source.lines;
    for (int c = 0; c < kComponentCount; ++c)
      planes_[static_cast<size_t>(c)].assign(
          static_cast<size_t>(geometry_.planeWidth[static_cast<size_t>(c)]) * static_cast<size_t>(source.lines), 0.0f);
  }
  PlaneTargets targets;
  targets.luma = planes_[0].data();
  targets.lumaStride = geometry_.planeWidth[0];
  targets.blueDifference = planes_[1].data();
  targets.redDifference = planes_[2].data();
  targets.chromaStride = geometry_.planeWidth[1];
  convertToPlanes(source.firstLine, source.lineStep, source.width, source.lines, source.order, targets);
  for (int c = 0; c < kComponentCount; ++c) {
    const int width = geometry_.planeWidth[static_cast<size_t>(c)];
    transform_.analysePlane(planes_[static_cast<size_t>(c)].data(), width, width, source.lines);
  }
}

void FieldEncoder::quantiseBand(const SubbandDescriptor& band, uint16_t quantiser) {
  const float step = static_cast<float>(quantiserStep(quantiser));
  const float inverseStep = 1.0f / step;
  const float rounding = band.level == kLowestLevel ? kLowestBandRounding : kDetailBandRounding;
  const int32_t largest = kLargestCoefficient / quantiserStep(quantiser);
  const std::vector<float>& plane = planes_[band.component];
  const int stride = geometry_.planeWidth[band.component];
  samples_.resize(static_cast<size_t>(band.width) * static_cast<size_t>(band.height));
  int32_t* out = samples_.data();
  for (int line = 0; line < band.height; ++line) {
    const float* in = plane.data() + static_cast<size_t>(band.line + line) * static_cast<size_t>(stride) +
                      static_cast<size_t>(band.column);
    for (int column = 0; column < band.width; ++column) {
      // Truncation of a non-negative number: the rounded magnitude.
      const int32_t magnitude = std::min(static_cast<int32_t>(std::fabs(in[column]) * inverseStep + rounding), largest);
      *out++ = in[column] < 0.0f ? -magnitude : magnitude;
    }
  }
}

void FieldEncoder::encode(const FieldSource& source, int parity, const std::array<uint16_t, kBandCount>& quantisers,
                          std::vector<uint8_t>& stream) {
  analyse(source);

  BitWriter writer(stream);
  writer.writeMarker();
  writer.write(kParityByteBase + static_cast<uint32_t>(parity & 1), 8);
  writer.write(0, 8); // format
  for (int i = 0; i < kOpaqueHeaderBytes; ++i) writer.write(0, 8);

  for (size_t position = 0; position < kBandOrder.size(); ++position) {
    const int band = kBandOrder[position];
    if (position > 0) writer.writeMarker();
    const SubbandDescriptor& descriptor = geometry_.bands[static_cast<size_t>(band)];
    const uint16_t quantiser = quantisers[static_cast<size_t>(band)];
    quantiseBand(descriptor, quantiser);
    bandEncoder_.setSamples(samples_.data(), samples_.size());
    const int type = bandEncoder_.cheapestBandType();
    bandTypes_[static_cast<size_t>(band)] = static_cast<uint8_t>(type);
    bandEncoder_.writeRecord(writer, type, quantiser);
  }
}

} // namespace wavelet
