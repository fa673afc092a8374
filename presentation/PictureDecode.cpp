#include "presentation/PictureDecode.h"

namespace presentation {

DecodeOutcome decodePicture(const PictureRecord&, const DecodeRequest&, std::uint8_t*, std::size_t) {
  return {};
}

} // namespace presentation
