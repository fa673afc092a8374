#pragma once
// The live test pattern: colour bars, a grey ramp, a grid, a zone plate and line pairs
// (fine detail that shows scaling and interlace), moving shapes, the connection id, the
// camera name, the picture number and a running clock with milliseconds.
#include "recorder/sources/PictureSource.h"

namespace recorder {

class TestPattern final : public PictureSource {
public:
  bool render(const PictureContext& context, RgbFrame& frame) override;
  std::string describe(const PictureContext& context) const override;
};

} // namespace recorder
