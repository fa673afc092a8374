#pragma once
// Writes whole recorder-protocol messages into a byte vector: the recorder simulator's
// replies and pictures, a gateway's relayed pictures, the requests of tests and benchmarks
// that act as viewers. Any item tag may be written, so a test or a fault can send what a
// well-behaved peer would not. (The viewer builds its requests with CTaggedMessage, which
// keeps one exactly-sized buffer and reports allocation failures instead of throwing.)
#include "engine/Protocol.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace protocol {

class MessageWriter {
public:
  explicit MessageWriter(std::uint32_t messageTag = kTagMessage);

  // Room for `bytes` more bytes of items, so that appending them copies nothing twice.
  MessageWriter& reserve(std::size_t bytes);
  // Appends an item; the header's total length follows every item.
  MessageWriter& addItem(std::uint32_t itemTag, const void* data, std::size_t length);
  MessageWriter& addPdat(std::int32_t word0, std::int32_t word1, std::int32_t word2, std::int32_t word3);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
  std::vector<std::uint8_t> bytes_;
};

// The 32 bytes of a viewer's request: an open request with its connection id, or a
// next-picture request (connection id 0; the words a request does not set are 0).
std::vector<std::uint8_t> requestMessage(std::int32_t code, std::int32_t connectionId = 0);

// A picture: a "HEAD" item with the 208-byte header and a "BODY" item with `bodyLength`
// bytes, written with a single allocation and a single copy of the body.
std::vector<std::uint8_t> pictureMessage(const std::uint8_t* header, const std::uint8_t* body, std::size_t bodyLength);

} // namespace protocol
