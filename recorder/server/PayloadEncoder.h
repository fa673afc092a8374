#pragma once
// Turns a source picture into the compressed picture the "BODY" item carries (its layout:
// decoder/PictureSplit.h).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recorder/sources/RgbFrame.h"

namespace recorder {

struct EncodeSettings {
  bool standard576 = true; // 720 x 576, else 720 x 486
  int level = 0;           // resolution level 0..4: the viewer leaves out that many finest levels
  int quality = 75;        // 1 (smallest) .. 100 (best)
  int fields = 2;          // 1: the first field only, 2: both fields
};

constexpr int kPictureWidth = 720;
constexpr int pictureHeight(bool standard576) { return standard576 ? 576 : 486; }

class PayloadEncoder {
public:
  virtual ~PayloadEncoder() = default;
  // Encodes `frame` (720 x the standard's height). False with a reason when it cannot.
  // Must be callable from several threads at once.
  virtual bool encode(const RgbFrame& frame, const EncodeSettings& settings, std::vector<std::uint8_t>& payload,
                      std::string& error) = 0;
  // Damages a payload this encoder made so that the viewer's decoder fails on it.
  virtual void corrupt(std::vector<std::uint8_t>& payload);
};

// The project's wavelet encoder; null when this build has none.
std::unique_ptr<PayloadEncoder> makeWaveletEncoder();

// Damages every field stream of a payload so that decoding it fails: the marker that must
// open each field is overwritten. A payload too short to hold a field is left alone. The
// default of PayloadEncoder::corrupt.
void corruptPayload(std::vector<std::uint8_t>& payload);

} // namespace recorder
