#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "recorder/encoder/FaultInjection.h"
#include "recorder/encoder/PictureEncoder.h"
#include "recorder/server/PayloadEncoder.h"

namespace recorder {
namespace {

// The project's wavelet encoder behind the server's encoder interface. A wavelet encoder
// keeps working buffers and serves one picture at a time, so this object holds a pool of
// them: an encode borrows an idle one (or makes one) and gives it back, and as many exist as
// pictures were ever encoded at once. They belong to this object and end with it, not with
// the threads that used them: an encoder in thread-local storage, destroyed as a session's
// thread ends, crashed the MinGW build now and then under Wine.
class WaveletEncoder final : public PayloadEncoder {
public:
  bool encode(const RgbFrame& frame, const EncodeSettings& settings, std::vector<std::uint8_t>& payload,
              std::string& error) override {
    wavelet::EncoderSettings encoderSettings;
    encoderSettings.quality = settings.quality;
    encoderSettings.standard =
        settings.standard576 ? wavelet::VideoStandard::Lines576 : wavelet::VideoStandard::Lines486;
    encoderSettings.fields = settings.fields;
    encoderSettings.pixelOrder = wavelet::PixelOrder::Rgb;
    std::unique_ptr<wavelet::PictureEncoder> encoder = borrow();
    const bool encoded =
        encoder->encode(frame.pixels.data(), frame.width, frame.height, frame.stride(), encoderSettings, payload);
    giveBack(std::move(encoder));
    if (!encoded) {
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

private:
  std::unique_ptr<wavelet::PictureEncoder> borrow() {
    {
      std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        std::unique_ptr<wavelet::PictureEncoder> encoder = std::move(idle_.back());
        idle_.pop_back();
        return encoder;
      }
    }
    return std::make_unique<wavelet::PictureEncoder>();
  }

  void giveBack(std::unique_ptr<wavelet::PictureEncoder> encoder) {
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(encoder));
  }

  std::mutex mutex_;
  std::vector<std::unique_ptr<wavelet::PictureEncoder>> idle_;
};

} // namespace

std::unique_ptr<PayloadEncoder> makeWaveletEncoder() { return std::make_unique<WaveletEncoder>(); }

} // namespace recorder
