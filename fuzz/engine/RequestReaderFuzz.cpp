// The reading of viewer requests (the recorder simulator's and the gateway's): any byte
// stream, cut into any pieces.
#include <cstddef>
#include <cstdint>

#include "engine/RequestReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses how the rest is cut into the pieces that reach the reader.
  const std::size_t piece = 1 + data[0] % 64;
  protocol::RequestReader reader;
  ReplyStatus words;
  for (std::size_t at = 1; at < size; at += piece) {
    const std::size_t length = size - at < piece ? size - at : piece;
    reader.append(data + at, length);
    for (;;) {
      const auto result = reader.next(words);
      if (result == protocol::RequestReader::Result::NeedMore || result == protocol::RequestReader::Result::Invalid)
        break;
    }
  }
  return 0;
}
