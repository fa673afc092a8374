#include "presentation/PictureDecode.h"

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "presentation/FrameLayout.h"

namespace presentation {

DecodeOutcome decodePicture(const PictureRecord& record, const DecodeRequest& request, wavelet::CWaveletEngine& engine,
                            std::uint8_t* output, std::size_t outputSize) {
  DecodeOutcome outcome;
  if (!record.data || record.length <= 0 || !output) return outcome;
  wavelet::FieldStreams fields;
  if (!wavelet::splitPicturePayload(record.data, static_cast<std::uint32_t>(record.length), fields)) return outcome;

  wavelet::CWaveletDecoder decoder(request.maxWidth, request.maxHeight, engine);
  wavelet::DecodeSettings settings;
  settings.region.rowEnd = request.maxHeight;
  settings.region.colEnd = request.columnLimit;
  settings.levels = request.skipLevels;
  settings.setFields(fields);
  settings.output = output;
  settings.outputSize = outputSize;
  if (request.stretchWidth > 0) {
    settings.outputWidth = request.stretchWidth;
    settings.outputStride = frameStride(request.stretchWidth);
  }
  const wavelet::DecodeReport report = decoder.Decode(settings);
  if (!report.ok()) return outcome;
  // The scaler reads outWidth x outHeight packed pixels from the buffer (or the stretched rows).
  const std::size_t rowBytes =
      request.stretchWidth > 0 ? std::size_t(frameStride(request.stretchWidth)) : std::size_t(report.outWidth) * 3;
  if (report.outWidth <= 0 || report.outHeight <= 0 || rowBytes * std::size_t(report.outHeight) > outputSize)
    return outcome;
  outcome.ok = true;
  outcome.width = report.outWidth;
  outcome.height = report.outHeight;
  return outcome;
}

} // namespace presentation
