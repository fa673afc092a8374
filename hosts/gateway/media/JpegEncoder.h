#pragma once
// JPEG encoding of the viewer's frames through libjpeg-turbo's TurboJPEG API: bottom-up
// 24-bit pictures (bytes blue, green, red; rows `stride` bytes apart). Chroma is 4:2:0 below
// kFullChromaQuality; from there on at full resolution, as halved chroma alone keeps a
// recorder picture below about 37 dB PSNR however high the quality (34 dB for sharp coloured
// edges), which is what a client asking that much wants to avoid. One encoder is used by one
// thread at a time; its output buffer is kept from picture to picture.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gateway::media {

constexpr int kFullChromaQuality = 90;

class JpegEncoder {
public:
  JpegEncoder();
  ~JpegEncoder();
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;

  // Encodes width x height pixels at `quality` (1..100) into `jpeg` (replaced). False when the
  // sizes are out of range or libjpeg-turbo fails (no memory included).
  bool encode(const std::uint8_t* bottomUpBgr, int width, int height, int stride, int quality,
              std::vector<std::uint8_t>& jpeg);

private:
  void* handle_ = nullptr;          // tjhandle; null when TurboJPEG could not start
  unsigned char* buffer_ = nullptr; // tjAlloc'ed, grown with TurboJPEG's worst-case size
  unsigned long bufferSize_ = 0;
};

} // namespace gateway::media
