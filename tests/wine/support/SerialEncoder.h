#pragma once
// One wavelet encoder for every connection of the tests' recorder, one picture at a time.
// The server's own keeps an encoder per serving thread in thread-local storage; in this MinGW
// build its destruction at the end of a connection's thread crashes now and then (seen under
// Wine), which would take the tests' recorder down with it.
#include "recorder/encoder/PictureEncoder.h"
#include "recorder/server/PictureEncoder.h"

#include <memory>
#include <mutex>

namespace winetest {

class SerialEncoder final : public recorder::PictureEncoder {
public:
  bool encode(const recorder::RgbFrame& frame, const recorder::EncodeSettings& settings,
              std::vector<std::uint8_t>& payload, std::string& error) override {
    wavelet::EncoderSettings encoderSettings;
    encoderSettings.quality = settings.quality;
    encoderSettings.standard =
        settings.standard576 ? wavelet::VideoStandard::Lines576 : wavelet::VideoStandard::Lines486;
    encoderSettings.fields = settings.fields;
    encoderSettings.pixelOrder = wavelet::PixelOrder::Rgb;
    std::lock_guard<std::mutex> lock(mutex_);
    if (encoder_.encode(frame.pixels.data(), frame.width, frame.height, frame.stride(), encoderSettings, payload))
      return true;
    error = "the encoder refused the picture";
    return false;
  }
  void corrupt(std::vector<std::uint8_t>& payload) override { standard_->corrupt(payload); }

private:
  std::mutex mutex_;
  wavelet::PictureEncoder encoder_;
  std::unique_ptr<recorder::PictureEncoder> standard_ = recorder::makeWaveletEncoder(); // its damage
};

} // namespace winetest
