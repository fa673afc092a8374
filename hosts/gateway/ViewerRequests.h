#pragma once
// The requests a browser's viewer sends over its WebSocket: the recorder protocol's own
// "PLPR" messages with one "PDAT" item, an open request (code 2, word 2 the connection id)
// once, then a next-picture request (code 3) for every picture it has taken. The bytes come
// from outside, so every length is checked before it is used; anything else is an error that
// ends the session.
#include "engine/RequestReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gateway {

struct ViewerRequest {
  enum Kind { Open, Next } kind = Next;
  std::int32_t connectionId = 0; // Open only
};

class ViewerRequestReader {
public:
  // Takes the next bytes of the stream (requests may be split across or packed into
  // WebSocket messages) and appends every complete request to `requests`. False with a
  // reason on the first malformed request; the reader is then unusable.
  bool feed(const std::uint8_t* data, std::size_t length, std::vector<ViewerRequest>& requests, std::string& error);

private:
  protocol::RequestReader reader_;
  bool failed_ = false;
};

// The 32 bytes of a request, as a viewer sends them (tests and benchmarks act as viewers).
std::vector<std::uint8_t> encodeViewerRequest(const ViewerRequest& request);

} // namespace gateway
