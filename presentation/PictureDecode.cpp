#include "presentation/PictureDecode.h"

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"

#include <climits>

namespace presentation {

DecodeOutcome decodePicture(const PictureRecord& record, const DecodeRequest& request, wavelet::CWaveletEngine& engine,
                            std::uint8_t* output, std::size_t outputSize) {
  DecodeOutcome outcome;
  if (!record.data || record.length <= 0 || !output) return outcome;
  wavelet::FieldStreams fields;
  if (!wavelet::SplitPicturePayload(record.data, static_cast<std::uint32_t>(record.length), fields)) return outcome;

  wavelet::CWaveletDecoder decoder(request.maxWidth, request.maxHeight, engine);
  decoder.rowEnd = request.maxHeight;
  decoder.colEnd = request.columnLimit;
  decoder.levels = request.skipLevels;
  decoder.twoFields = true;
  decoder.firstFieldData = fields.firstData;
  decoder.firstFieldLength = fields.firstLength;
  decoder.secondFieldData = fields.secondData;
  decoder.secondFieldLength = fields.secondLength;
  decoder.output = output;
  decoder.outputSize = outputSize > std::size_t(INT_MAX) ? INT_MAX : static_cast<std::int32_t>(outputSize);
  if (!decoder.Decode()) return outcome;
  // The scaler reads outWidth x outHeight packed pixels from the buffer.
  if (decoder.outWidth <= 0 || decoder.outHeight <= 0 ||
      std::size_t(decoder.outWidth) * decoder.outHeight * 3 > outputSize)
    return outcome;
  outcome.ok = true;
  outcome.width = decoder.outWidth;
  outcome.height = decoder.outHeight;
  return outcome;
}

} // namespace presentation
