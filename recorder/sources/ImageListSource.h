#pragma once
// Still images played in a loop, each shown for a number of pictures. The images are
// fitted to the picture size once, when the source is made, and then only read, so one
// source serves every connection.
#include <string>
#include <vector>

#include "recorder/sources/PictureSource.h"

namespace recorder {

class ImageListSource final : public PictureSource {
public:
  struct Still {
    std::string name;
    RgbFrame image; // any size; fitted to the picture size by the constructor
  };

  // `picturesPerStill` >= 1: how many consecutive pictures show the same still.
  ImageListSource(std::vector<Still> stills, int width, int height, int picturesPerStill = 1);

  bool render(const PictureContext& context, RgbFrame& frame) override;
  std::optional<std::size_t> stillIndex(const PictureContext& context) const override;
  std::string describe(const PictureContext& context) const override;

  std::size_t size() const { return stills_.size(); }

private:
  std::vector<Still> stills_;
  int picturesPerStill_;
};

} // namespace recorder
