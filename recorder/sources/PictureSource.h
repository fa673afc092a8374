#pragma once
// Where the recorder's pictures come from: a live test pattern or a list of still images.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "recorder/sources/RgbFrame.h"

namespace recorder {

// What a source may draw into one picture of one connection.
struct PictureContext {
  int connectionId = 0;
  std::uint64_t pictureNumber = 0; // 0 for the connection's first picture
  std::uint32_t elapsedMs = 0;     // time since the connection opened, drives the animation
  std::int64_t wallClockMs = 0;    // local wall-clock time of day in ms, for the running clock
  bool interlaced = true;          // odd lines show the scene one field period later
  std::string cameraName;
};

class PictureSource {
public:
  virtual ~PictureSource() = default;

  // Renders the picture for `context` into `frame`, which the caller has sized to the
  // video standard (720 x 576 or 720 x 486). False when no picture can be made.
  virtual bool render(const PictureContext& context, RgbFrame& frame) = 0;

  // For sources whose pictures repeat (still images): the index of the still that
  // `context` shows, so an encoded picture can be reused. Empty for live sources.
  virtual std::optional<std::size_t> stillIndex(const PictureContext& context) const {
    (void)context;
    return std::nullopt;
  }

  // A short description for status lines and the header's info text.
  virtual std::string describe(const PictureContext& context) const = 0;
};

} // namespace recorder
