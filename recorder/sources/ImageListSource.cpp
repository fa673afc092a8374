#include "recorder/sources/ImageListSource.h"

#include <algorithm>

#include "recorder/sources/Resample.h"

namespace recorder {

ImageListSource::ImageListSource(std::vector<Still> stills, int width, int height, int picturesPerStill)
    : stills_(std::move(stills)), picturesPerStill_(std::max(picturesPerStill, 1)) {
  for (Still& still : stills_) {
    if (still.image.width == width && still.image.height == height) continue;
    RgbFrame fitted;
    resampleTo(still.image, width, height, fitted);
    still.image = std::move(fitted);
  }
}

std::optional<std::size_t> ImageListSource::stillIndex(const PictureContext& context) const {
  if (stills_.empty()) return std::nullopt;
  return static_cast<std::size_t>((context.pictureNumber / static_cast<std::uint64_t>(picturesPerStill_)) %
                                  stills_.size());
}

bool ImageListSource::render(const PictureContext& context, RgbFrame& frame) {
  const auto index = stillIndex(context);
  if (!index) return false;
  const RgbFrame& image = stills_[*index].image;
  if (image.width != frame.width || image.height != frame.height) return false;
  frame.pixels = image.pixels;
  return true;
}

std::string ImageListSource::describe(const PictureContext& context) const {
  const auto index = stillIndex(context);
  return index ? stills_[*index].name : std::string("no images");
}

} // namespace recorder
