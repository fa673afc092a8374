#include "tests/wine/support/FixedPicture.h"

#include "tests/presentation/ReferencePicture.h"

#include <cstring>

namespace winetest {

bool fixedPicture(int seed, PictureRecord& record) {
  const std::vector<std::uint8_t> payload = testsupport::encodedTestPicture(seed);
  if (payload.empty() || !record.reserve(static_cast<std::int32_t>(payload.size()))) return false;
  std::memcpy(record.data, payload.data(), payload.size());
  record.length = static_cast<std::int32_t>(payload.size());
  testsupport::fillHeader(record, 1);
  return true;
}

} // namespace winetest
