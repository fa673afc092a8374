#pragma once
// Splits the bytes a viewer sends into requests, for whatever serves viewers: the recorder
// simulator, the gateway, the tests' fake recorders. Everything here comes from outside and
// is checked: a header's length is bounded by kMaxRequestBytes before anything is buffered
// for it, and items are walked by the viewer's own parser (CTaggedMessage), so an item that
// does not fit its message is never read.
#include "engine/Protocol.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace protocol {

class RequestReader {
public:
  enum class Result {
    NeedMore, // no complete message buffered
    Request,  // a message with a "PDAT" item of at least 16 bytes: `words` holds its words
    Ignored,  // a complete message without a usable "PDAT", or with a negative item length
    Skipped,  // 8 bytes without the message tag were dropped (the peer's stream is out of step)
    Invalid,  // a header with a length outside 8..kMaxRequestBytes: the stream cannot be trusted
  };

  RequestReader();

  void append(const std::uint8_t* data, std::size_t length);

  // Takes the next message off the buffered bytes. After Invalid the reader stays invalid.
  Result next(ReplyStatus& words);

  std::size_t buffered() const { return buffer_.size() - consumed_; }

private:
  std::vector<std::uint8_t> buffer_;
  std::size_t consumed_ = 0;
  bool invalid_ = false;
  CTaggedMessage parser_;
};

} // namespace protocol
