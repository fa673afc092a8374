// The wavelet picture encoder: turns a 24-bit picture into the picture payload that a recorder
// sends as the body of a picture reply.
//
// Payload layout: decoder/PictureSplit.h (the first field stream with its length in front,
// then, for two-field pictures, the gap and the second field stream).
//
// Input pixels: `height` rows of `width` pixels, 3 bytes each in the order given by
// EncoderSettings::pixelOrder (red, green, blue by default; blue, green, red for a Windows
// DIB's byte order). Rows are top-down: row 0 is the top line of the picture, row i starts at
// pixels + i x stride bytes. A bottom-up buffer is passed with a pointer to its top row and a
// negative stride.
//
// Fields: a two-field picture is split into its interlaced fields; the first field stream
// carries the picture's first line (line 0, 2, 4, ...), the second the others. The parity
// byte of each field header says where the decoder puts its lines: in the 576-line standard
// the field with lines 0, 2, 4 has parity 0x40, in the 486-line standard 0x41. A one-field
// picture carries only the lines 0, 2, 4, ... (the decoder repeats each of them).
//
// A PictureEncoder keeps its working buffers between calls: a recorder should keep one
// encoder per stream of pictures. Not thread-safe; use one encoder per thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "recorder/encoder/ColourAnalysis.h"
#include "recorder/encoder/FieldEncoder.h"

namespace wavelet {

enum class VideoStandard {
  Lines576, // 625-line standard, 720 x 576
  Lines486, // 525-line standard, 720 x 486
};

// Quality as a guide, measured on a natural-looking 720 x 576 test picture with texture and
// noise, decoded by the portable engine (PSNR against the picture in the format's 4:2:2
// colour sampling): 100: 53 dB, 392 KB; 90: 51 dB, 315 KB; 75: 47 dB, 220 KB; 50: 38 dB,
// 83 KB; 25: 30 dB, 32 KB; 10: 26 dB, 14 KB; 1: 24 dB, 8 KB. Calm pictures need far less.
struct EncoderSettings {
  int quality = 75; // 1 (smallest) .. 100 (finest)
  VideoStandard standard = VideoStandard::Lines576;
  int fields = 2; // 1 or 2
  PixelOrder pixelOrder = PixelOrder::Rgb;
};

constexpr int kPictureWidth = 720;
constexpr int pictureHeight(VideoStandard standard) { return standard == VideoStandard::Lines576 ? 576 : 486; }

class PictureEncoder {
public:
  // Encodes one picture into `payload` (replaced). Returns false, with `payload` empty, when
  // the input does not fit the settings: null pixels, width not 720, height not the
  // standard's line count, |stride| below 3 x width, or fields not 1 or 2.
  bool encode(const uint8_t* pixels, int width, int height, ptrdiff_t stride, const EncoderSettings& settings,
              std::vector<uint8_t>& payload);

  // Band types chosen for the first and the second field by the last encode (index = band).
  const std::array<uint8_t, kBandCount>& bandTypes(int field) const { return bandTypes_[field & 1]; }

private:
  FieldEncoder fieldEncoder_;
  std::array<std::vector<uint8_t>, 2> fieldStreams_;
  std::array<std::array<uint8_t, kBandCount>, 2> bandTypes_{};
};

// One-off convenience: encodes with a temporary encoder.
bool encodePicture(const uint8_t* pixels, int width, int height, ptrdiff_t stride, const EncoderSettings& settings,
                   std::vector<uint8_t>& payload);

} // namespace wavelet
