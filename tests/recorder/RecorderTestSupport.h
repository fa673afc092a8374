#pragma once
// Helpers shared by the recorder suites: decoding what the recorder serves, comparing
// pictures, and a raw protocol client on platform sockets.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Socket.h"
#include "engine/MessageWriter.h"
#include "recorder/sources/RgbFrame.h"

namespace recorder::test {

// Decodes a picture payload at `level` the way the viewer does (column limit of the level,
// the standard's height) and returns it top-down RGB. Empty optional when decoding fails.
std::optional<RgbFrame> decodePayload(const std::vector<std::uint8_t>& payload, bool standard576, int level);

// Peak signal-to-noise ratio in dB of `decoded` against the top-left part of `source` of
// the same size (each decoded pixel compared with the source pixel it stands for when the
// decoded picture is reduced by 2^level).
double psnr(const RgbFrame& source, const RgbFrame& decoded, int level = 0);

// A smooth test image with a few edges, 720 x height.
RgbFrame gradientImage(int height);

struct Item {
  std::uint32_t tag = 0;
  std::vector<std::uint8_t> data;
};
struct Message {
  std::uint32_t tag = 0;
  std::vector<Item> items;
  const Item* find(std::uint32_t itemTag) const;
  std::optional<ReplyStatus> pdat() const;
  bool isPicture() const { return find(protocol::kTagHead) && find(protocol::kTagBody); }
};

// A viewer reduced to bytes: connects, sends requests, reads whole messages.
class RawViewer {
public:
  RawViewer() = default;
  ~RawViewer();
  RawViewer(const RawViewer&) = delete;
  RawViewer& operator=(const RawViewer&) = delete;

  bool connect(int port);
  bool sendRequest(std::int32_t code, std::int32_t word2 = 0);
  bool sendOpen(std::int32_t connectionId) { return sendRequest(protocol::kRequestOpen, connectionId); }
  bool sendNext() { return sendRequest(protocol::kRequestNext); }
  bool sendBytes(const std::vector<std::uint8_t>& bytes);

  // Reads exactly `length` bytes; false on close, error or time-out.
  bool readExactly(std::size_t length, std::vector<std::uint8_t>& out, int timeoutMs = 5000);
  // Reads one message (header and items); empty on close, error or time-out.
  std::optional<Message> readMessage(int timeoutMs = 5000);
  // True when nothing arrives within `timeoutMs`.
  bool quietFor(int timeoutMs);
  // True when the recorder closes the connection within `timeoutMs` (bytes before the
  // close are discarded and counted in `discarded`).
  bool closedWithin(int timeoutMs, std::size_t* discarded = nullptr);
  void close();

private:
  platform::SocketHandle socket_ = platform::kNoSocket;
  std::vector<std::uint8_t> pending_;
};

} // namespace recorder::test
