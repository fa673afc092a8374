#include "recorder/server/PictureEncoder.h"

namespace recorder {

// Builds without the wavelet encoder library serve nothing.
std::unique_ptr<PictureEncoder> makeWaveletEncoder() { return nullptr; }

} // namespace recorder
