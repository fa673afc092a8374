#include "recorder/encoder/PictureEncoder.h"

#include <cstdlib>
#include <cstring>

#include "decoder/PictureSplit.h"
#include "recorder/encoder/Quantisers.h"

namespace wavelet {

bool PictureEncoder::encode(const uint8_t* pixels, int width, int height, ptrdiff_t stride,
                            const EncoderSettings& settings, std::vector<uint8_t>& payload) {
  payload.clear();
  if (pixels == nullptr || width != kPictureWidth || height != pictureHeight(settings.standard)) return false;
  if (std::llabs(static_cast<long long>(stride)) < 3LL * width) return false;
  if (settings.fields != 1 && settings.fields != 2) return false;

  const std::array<uint16_t, kBandCount> quantisers = quantisersForQuality(settings.quality);
  // The field with the picture's first line lands on lines 0, 2, 4 with parity 0 in the
  // 576-line standard and with parity 1 in the 486-line standard.
  const int firstLineParity = settings.standard == VideoStandard::Lines576 ? 0 : 1;
  for (int field = 0; field < settings.fields; ++field) {
    FieldSource source;
    source.firstLine = pixels + field * stride;
    source.lineStep = 2 * stride;
    source.width = width;
    source.lines = height / 2;
    source.order = settings.pixelOrder;
    const int parity = field == 0 ? firstLineParity : 1 - firstLineParity;
    fieldEncoder_.encode(source, parity, quantisers, fieldStreams_[static_cast<size_t>(field)]);
    bandTypes_[static_cast<size_t>(field)] = fieldEncoder_.bandTypes();
  }

  const std::vector<uint8_t>& first = fieldStreams_[0];
  const std::vector<uint8_t>& second = fieldStreams_[1];
  assemblePicturePayload(first.data(), static_cast<uint32_t>(first.size()),
                         settings.fields == 2 ? second.data() : nullptr, static_cast<uint32_t>(second.size()), payload);
  return true;
}

bool encodePicture(const uint8_t* pixels, int width, int height, ptrdiff_t stride, const EncoderSettings& settings,
                   std::vector<uint8_t>& payload) {
  PictureEncoder encoder;
  return encoder.encode(pixels, width, height, stride, settings, payload);
}

} // namespace wavelet
