#pragma once
// Splits the bytes a viewer sends into requests. Everything here comes from outside and is
// checked: lengths are bounded, items must lie inside their message.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "recorder/server/Wire.h"

namespace recorder {

// Requests are 32 bytes; anything much longer is not a viewer talking to us.
constexpr std::size_t kMaxRequestLength = 4096;

class RequestReader {
public:
  enum class Result {
    NeedMore, // no complete message buffered
    Request,  // a message with a "PDAT" item: `words` holds its four words
    Ignored,  // a complete message without a usable "PDAT", or with a broken item list
    Skipped,  // 8 bytes without the message tag were dropped (the peer's stream is out of step)
    Invalid,  // a header with a length outside 8..kMaxRequestLength: the stream cannot be trusted
  };

  void append(const std::uint8_t* data, std::size_t length);

  // Takes the next message off the buffered bytes. After Invalid the reader stays invalid.
  Result next(PdatWords& words);

  std::size_t buffered() const { return buffer_.size() - consumed_; }

private:
  void consume(std::size_t count);

  std::vector<std::uint8_t> buffer_;
  std::size_t consumed_ = 0;
  bool invalid_ = false;
};

// Walks the items of one complete message (`length` bytes, header included) and gives the
// words of the first "PDAT" item of at least 16 bytes. Empty when there is none, or when an
// item's length is negative or runs past the message (then no item of it is trusted).
std::optional<PdatWords> findPdat(const std::uint8_t* message, std::size_t length);

} // namespace recorder
