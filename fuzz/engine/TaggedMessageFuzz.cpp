// Arbitrary bytes as a stream of recorder replies: headers are checked and skipped as the
// receive loop does, each complete message is parsed and handled by a connection that is
// not connected (posts go nowhere), and a stored picture is handed to the window slot.
#include "engine/Connection.h"
#include "engine/MessagePeer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CLanguageTable language(CLanguageTable::kEnglish);
  CConnection connection;
  connection.configure("127.0.0.1", -1, 0, &language);
  if (!connection.defineMessages()) return 0;
  CTaggedMessage& reply = connection.reply();

  std::size_t offset = 0;
  while (size - offset >= 8) {
    if (!reply.parseHeader(data + offset, 8)) {
      offset += 8;
      continue;
    }
    const std::int32_t total = reply.length();
    if (total > CMessagePeer::kMaxMessageLength) break; // the receive loop gives the connection up
    if (total < 8) {
      offset += 8;
      continue;
    }
    if (std::size_t(total) > size - offset) break;
    // An exact-size copy, so that any read past the message is caught.
    const std::vector<std::uint8_t> message(data + offset, data + offset + total);
    if (reply.parseHeader(message.data(), total) && reply.parseItems(message.data(), total)) {
      ReplyStatus status;
      connection.handleReply(message.data(), status);
    }
    if (connection.receiveSlot.valid.load() && !connection.windowSlot[0].valid.load()) {
      connection.handOver(); // the request cannot be sent: not connected
      connection.windowSlot[0].valid.store(false);
    }
    offset += std::size_t(total);
  }
  return 0;
}
