#include "hosts/gateway/media/JpegEncoder.h"

#include <turbojpeg.h>

#include <cstring>

namespace gateway::media {

JpegEncoder::JpegEncoder() : handle_(tjInitCompress()) {}

JpegEncoder::~JpegEncoder() {
  if (buffer_) tjFree(buffer_);
  if (handle_) tjDestroy(handle_);
}

bool JpegEncoder::encode(const std::uint8_t* bottomUpBgr, int width, int height, int stride, int quality,
                         std::vector<std::uint8_t>& jpeg) {
  if (!handle_ || !bottomUpBgr || width <= 0 || height <= 0 || stride < width * 3 || quality < 1 || quality > 100)
    return false;
  // Encoding into a buffer of the worst-case size never makes TurboJPEG reallocate it.
  const int sampling = quality >= kFullChromaQuality ? TJSAMP_444 : TJSAMP_420;
  const unsigned long needed = tjBufSize(width, height, sampling);
  if (needed == static_cast<unsigned long>(-1)) return false;
  if (needed > bufferSize_) {
    if (buffer_) tjFree(buffer_);
    buffer_ = tjAlloc(int(needed));
    bufferSize_ = buffer_ ? needed : 0;
    if (!buffer_) return false;
  }
  unsigned long size = bufferSize_;
  if (tjCompress2(handle_, bottomUpBgr, width, stride, height, TJPF_BGR, &buffer_, &size, sampling, quality,
                  TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC) != 0)
    return false;
  try {
    jpeg.assign(buffer_, buffer_ + size);
  } catch (...) {
    return false;
  }
  return true;
}

} // namespace gateway::media
