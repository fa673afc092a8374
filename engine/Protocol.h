#pragma once
// The recorder protocol's vocabulary, shared by the viewer's connection and the recorder
// side: every message is a "PLPR" message with the items "PDAT", "HEAD", "BODY" and "LANG".
#include "engine/MessagePeer.h"
#include "engine/TaggedMessage.h"

#include <cstdint>

namespace protocol {

// Item ids, in definition order.
enum ItemId : std::int32_t { kItemPdat = 0, kItemHead = 1, kItemBody = 2, kItemLang = 3 };
constexpr std::int32_t kPdatSize = 16;

// "PDAT" word 0: requests (viewer to recorder) and reply codes (recorder to viewer).
enum Code : std::int32_t {
  kRequestOpen = 2, // word 2: the connection id
  kRequestNext = 3,
  kReplyEnd = 4,         // the recorder ends the communication
  kReplyEstablished = 5, // word 3: recorder flags (bit 0: diagnostics)
  kReplyError = 12,      // word 3: error code 2000..2014
};

// Defines "PLPR" with its four items on a message (once per message object).
bool defineMessage(CTaggedMessage& message);

// The 16 bytes of a "PDAT" item from four words, and back. Decoding a shorter item takes the
// bytes it has and leaves the missing words 0.
void encodePdat(const ReplyStatus& words, std::uint8_t bytes[kPdatSize]);
ReplyStatus decodePdat(const std::uint8_t* bytes, std::int32_t length);

} // namespace protocol
