// The recorder's reading of viewer requests: any byte stream, cut into any pieces.
#include <cstddef>
#include <cstdint>

#include "recorder/server/RequestReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses how the rest is cut into the pieces that reach the reader.
  const std::size_t piece = 1 + data[0] % 64;
  recorder::RequestReader reader;
  recorder::PdatWords words{};
  for (std::size_t at = 1; at < size; at += piece) {
    const std::size_t length = size - at < piece ? size - at : piece;
    reader.append(data + at, length);
    for (;;) {
      const auto result = reader.next(words);
      if (result == recorder::RequestReader::Result::NeedMore || result == recorder::RequestReader::Result::Invalid)
        break;
    }
  }
  recorder::findPdat(data, size);
  return 0;
}
