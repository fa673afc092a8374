#pragma once
// The recorder protocol, defined once for both of its ends: the viewer's connection, the
// recorder simulator, the gateway and the tests' fake recorders all take its tags, codes,
// limits and message layout from here. Every message is a "PLPR" message with the items
// "PDAT", "HEAD", "BODY" and "LANG"; engine/MessageWriter.h writes them whole and
// engine/RequestReader.h reads a viewer's requests.
#include "engine/ConnectionMachine.h"
#include "engine/TaggedMessage.h"

#include <cstdint>

namespace protocol {

// Item ids, in definition order, and the tags.
enum ItemId : std::int32_t { kItemPdat = 0, kItemHead = 1, kItemBody = 2, kItemLang = 3 };
constexpr const char* kMessageTagText = "PLPR";
constexpr const char* kItemTagTexts[] = {"PDAT", "HEAD", "BODY", "LANG"}; // by item id

constexpr std::uint32_t kTagMessage = CTaggedMessage::tagWord(kMessageTagText);
constexpr std::uint32_t kTagPdat = CTaggedMessage::tagWord(kItemTagTexts[kItemPdat]);
constexpr std::uint32_t kTagHead = CTaggedMessage::tagWord(kItemTagTexts[kItemHead]);
constexpr std::uint32_t kTagBody = CTaggedMessage::tagWord(kItemTagTexts[kItemBody]);
constexpr std::uint32_t kTagLang = CTaggedMessage::tagWord(kItemTagTexts[kItemLang]);
constexpr std::int32_t kPdatSize = 16;

// "PDAT" word 0: requests (viewer to recorder) and reply codes (recorder to viewer).
enum Code : std::int32_t {
  kRequestOpen = 2, // word 2: the connection id
  kRequestNext = 3,
  kReplyEnd = 4,         // the recorder ends the communication
  kReplyEstablished = 5, // word 3: recorder flags (bit 0: diagnostics)
  kReplyError = 12,      // word 3: error code 2000..2014
};

// A request is one "PDAT" item, 32 bytes. A header that claims more than this bound is not a
// viewer talking; it keeps what a reader buffers for each peer small.
constexpr std::int32_t kMaxRequestBytes = 256;

// Defines "PLPR" with its four items on a message (once per message object).
bool defineMessage(CTaggedMessage& message);

// The 16 bytes of a "PDAT" item from four words, and back. Decoding a shorter item takes the
// bytes it has and leaves the missing words 0.
void encodePdat(const ReplyStatus& words, std::uint8_t bytes[kPdatSize]);
ReplyStatus decodePdat(const std::uint8_t* bytes, std::int32_t length);

} // namespace protocol
