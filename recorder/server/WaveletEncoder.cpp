#include <string>

#include "recorder/encoder/FaultInjection.h"
#include "recorder/encoder/PictureEncoder.h"
#include "recorder/server/PictureEncoder.h"

namespace recorder {
namespace {

// The project's wavelet encoder behind the server's encoder interface. The encoder keeps
// working buffers and is not thread-safe, so each serving thread has its own.
class WaveletEncoder final : public PictureEncoder {
public:
  bool encode(const RgbFrame& frame, const EncodeSettings& settings, std::vector<std::uint8_t>& payload,
              std::string& error) override {
    thread_local wavelet::PictureEncoder encoder;
    wavelet::EncoderSettings encoderSettings;
    encoderSettings.quality = settings.quality;
    encoderSettings.standard =
        settings.standard576 ? wavelet::VideoStandard::Lines576 : wavelet::VideoStandard::Lines486;
    encoderSettings.fields = settings.fields;
    encoderSettings.pixelOrder = wavelet::PixelOrder::Rgb;
    if (!encoder.encode(frame.pixels.data(), frame.width, frame.height, frame.stride(), encoderSettings, payload)) {
      error =
          "the encoder refused a " + std::to_string(frame.width) + " x " + std::to_string(frame.height) + " picture";
      return false;
    }
    return true;
  }

  void corrupt(std::vector<std::uint8_t>& payload) override {
    // A marker inside the data of a band every level decodes; if the picture is too flat
    // for that, the field's opening marker goes instead.
    if (!wavelet::damagePayload(payload, wavelet::FieldDamage::MarkerInBandData)) corruptPayload(payload);
  }
};

} // namespace

std::unique_ptr<PictureEncoder> makeWaveletEncoder() { return std::make_unique<WaveletEncoder>(); }

} // namespace recorder
