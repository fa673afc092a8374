#include "hosts/gateway/ViewerRequests.h"

#include "engine/MessageWriter.h"

namespace gateway {

bool ViewerRequestReader::feed(const std::uint8_t* data, std::size_t length, std::vector<ViewerRequest>& requests,
                               std::string& error) {
  if (failed_) {
    error = "the request stream has failed before";
    return false;
  }
  auto fail = [&](const std::string& reason) {
    failed_ = true;
    error = reason;
    return false;
  };
  // Never more than a few requests' worth at once: a viewer sends one per picture.
  if (length > std::size_t(protocol::kMaxRequestBytes) * 64) return fail("too many request bytes at once");
  reader_.append(data, length);
  using Result = protocol::RequestReader::Result;
  for (ReplyStatus words;;) {
    switch (reader_.next(words)) {
    case Result::NeedMore:
      return true;
    case Result::Skipped:
      return fail("not a \"PLPR\" request");
    case Result::Invalid:
      return fail("request length out of bounds");
    case Result::Ignored:
      return fail("a request without a usable \"PDAT\" item");
    case Result::Request:
      if (words.words[0] == protocol::kRequestOpen)
        requests.push_back({ViewerRequest::Open, words.words[2]});
      else if (words.words[0] == protocol::kRequestNext)
        requests.push_back({ViewerRequest::Next, 0});
      else
        return fail("unknown request code " + std::to_string(words.words[0]));
      break;
    }
  }
}

std::vector<std::uint8_t> encodeViewerRequest(const ViewerRequest& request) {
  return protocol::requestMessage(request.kind == ViewerRequest::Open ? protocol::kRequestOpen : protocol::kRequestNext,
                                  request.connectionId);
}

} // namespace gateway
