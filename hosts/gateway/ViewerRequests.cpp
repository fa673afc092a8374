#include "hosts/gateway/ViewerRequests.h"

#include "engine/Protocol.h"

namespace gateway {

ViewerRequestReader::ViewerRequestReader() { protocol::defineMessage(parser_); }

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
  // Never more than one request's worth is kept: a longer message is refused below.
  if (length > std::size_t(kMaxRequestBytes) * 64) return fail("too many request bytes at once");
  pending_.insert(pending_.end(), data, data + length);

  std::size_t used = 0;
  while (pending_.size() - used >= std::size_t(CTaggedMessage::kHeaderSize)) {
    const std::uint8_t* head = pending_.data() + used;
    if (!parser_.parseHeader(head, CTaggedMessage::kHeaderSize)) return fail("not a \"PLPR\" request");
    const std::int32_t total = parser_.length();
    if (total < CTaggedMessage::kHeaderSize || total > kMaxRequestBytes)
      return fail("request length " + std::to_string(total) + " is out of bounds");
    if (pending_.size() - used < std::size_t(total)) break;
    if (!takeMessage(head, total, requests, error)) {
      failed_ = true;
      return false;
    }
    used += std::size_t(total);
  }
  pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(used));
  return true;
}

bool ViewerRequestReader::takeMessage(const std::uint8_t* bytes, std::int32_t total,
                                      std::vector<ViewerRequest>& requests, std::string& error) {
  if (!parser_.parseItems(bytes, total)) {
    error = "malformed request items";
    return false;
  }
  for (std::int32_t i = 0; i < parser_.itemCount(); ++i) {
    const CTaggedMessage::ItemEntry& item = parser_.item(i);
    if (item.id != protocol::kItemPdat) continue;
    if (item.dataLength != protocol::kPdatSize) {
      error = "a \"PDAT\" item of " + std::to_string(item.dataLength) + " bytes";
      return false;
    }
    const ReplyStatus words = protocol::decodePdat(bytes + item.dataOffset, item.dataLength);
    if (words.words[0] == protocol::kRequestOpen) {
      requests.push_back({ViewerRequest::Open, words.words[2]});
    } else if (words.words[0] == protocol::kRequestNext) {
      requests.push_back({ViewerRequest::Next, 0});
    } else {
      error = "unknown request code " + std::to_string(words.words[0]);
      return false;
    }
    return true;
  }
  error = "a request without a \"PDAT\" item";
  return false;
}

std::vector<std::uint8_t> encodeViewerRequest(const ViewerRequest& request) {
  CTaggedMessage message;
  protocol::defineMessage(message);
  ReplyStatus words;
  words.words[0] = request.kind == ViewerRequest::Open ? protocol::kRequestOpen : protocol::kRequestNext;
  words.words[2] = request.connectionId;
  std::uint8_t pdat[protocol::kPdatSize];
  protocol::encodePdat(words, pdat);
  message.beginMessage();
  message.addItem(protocol::kItemPdat, pdat, protocol::kPdatSize);
  return std::vector<std::uint8_t>(message.bytes(), message.bytes() + message.length());
}

} // namespace gateway
