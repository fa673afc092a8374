#pragma once
// One camera's pictures as JPEGs: a recorder picture message ("PLPR" with "HEAD" and "BODY",
// as RecorderLink passes it on) is decoded once per resolution level that the requested
// widths need, scaled once per width, marked with the viewer's on-screen display where asked,
// and encoded once per RenderSpec. The decoder leaves out the finest levels first (the cheap
// way to a smaller picture) and nearest-neighbour scaling does the rest; a picture is never
// enlarged. The buffers, the decoder's engine and the encoder are kept from picture to
// picture.
//
// One thread at a time (the media worker running this camera's job).
#include "engine/LanguageTable.h"
#include "engine/PictureRecord.h"
#include "hosts/gateway/media/JpegEncoder.h"
#include "hosts/gateway/media/MediaQuery.h"
#include "presentation/Overlay.h"
#include "presentation/SizeTable.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wavelet {
class CWaveletEngine;
}

namespace gateway::media {

using JpegBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

class PictureRenderer {
public:
  // The overlay's labels come from `language`, which must outlive the renderer.
  explicit PictureRenderer(CLanguageTable& language);
  ~PictureRenderer();
  PictureRenderer(const PictureRenderer&) = delete;
  PictureRenderer& operator=(const PictureRenderer&) = delete;

  // JPEGs of `message` for each of `specs` (null where that one failed). False with a
  // reason when the message is no picture or does not decode at all.
  bool render(const std::uint8_t* message, std::size_t length, const std::vector<RenderSpec>& specs,
              std::vector<JpegBytes>& jpegs, std::string& reason);

  // The resolution level a picture of level `pictureLevel` is decoded at for `width`: the
  // smallest picture still at least that wide.
  static int levelFor(int width, int pictureLevel);

  // Work done so far: decodes and encodes.
  std::uint64_t decodes() const { return decodes_; }
  std::uint64_t encodes() const { return encodes_; }

private:
  struct Frame {
    int width = 0, height = 0; // packed rows (decoder output) or frameStride rows (scaled)
    std::vector<std::uint8_t> bits;
    std::uint64_t picture = 0; // the render call it was made for
  };
  bool takeMessage(const std::uint8_t* message, std::size_t length, std::string& reason);
  const Frame* decoded(int level);
  const Frame* scaled(int width);
  JpegBytes encode(const Frame& frame, const RenderSpec& spec);

  CLanguageTable& language_;
  PictureRecord record_;
  std::unique_ptr<wavelet::CWaveletEngine> engine_;
  presentation::SizeTable sizes_;
  Frame levels_[presentation::kResolutionLevels];
  bool levelDone_[presentation::kResolutionLevels] = {};
  // By requested width (0: the level's own); kept for the next picture while still asked for.
  std::map<int, Frame> scaled_;
  std::uint64_t picture_ = 0; // render calls
  Frame marked_;              // a scaled frame with the overlay drawn in
  std::unique_ptr<Overlay> overlay_;
  bool overlayFailed_ = false;
  JpegEncoder encoder_;
  std::vector<std::uint8_t> jpeg_;
  std::uint64_t decodes_ = 0, encodes_ = 0;
};

} // namespace gateway::media
