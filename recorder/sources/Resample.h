#pragma once
// Fits an image into the recorder's picture size.
#include "recorder/sources/RgbFrame.h"

namespace recorder {

// Scales `source` to exactly width x height with bilinear filtering (box-averaged first
// when shrinking by more than two, so fine detail does not alias). Aspect ratio is not kept:
// still images are shown as a camera would fill its picture.
void resampleTo(const RgbFrame& source, int width, int height, RgbFrame& out);

} // namespace recorder
