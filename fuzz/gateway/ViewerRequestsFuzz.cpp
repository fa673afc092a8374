// The bytes a browser sends on its WebSocket, split into WebSocket messages at the points the
// input's first byte chooses: the reader either yields requests or refuses the stream, never
// reads out of bounds, and never keeps more than a request's worth.
#include "hosts/gateway/ViewerRequests.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = std::size_t(data[0] % 40) + 1;
  gateway::ViewerRequestReader reader;
  std::vector<gateway::ViewerRequest> requests;
  std::string error;
  for (std::size_t at = 1; at < size; at += chunk) {
    const std::size_t length = std::min(chunk, size - at);
    if (!reader.feed(data + at, length, requests, error)) {
      if (error.empty()) std::abort(); // a refusal always says why
      break;
    }
  }
  for (const gateway::ViewerRequest& request : requests)
    if (request.kind != gateway::ViewerRequest::Open && request.kind != gateway::ViewerRequest::Next) std::abort();
  return 0;
}
