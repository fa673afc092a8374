#include "RecorderTestSupport.h"

#include <algorithm>
#include <cmath>

#include "base/LittleEndian.h"
#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "platform/Time.h"

namespace recorder::test {
namespace {

using Clock = std::chrono::steady_clock;

} // namespace

std::optional<RgbFrame> decodePayload(const std::vector<std::uint8_t>& payload, bool standard576, int level) {
  wavelet::FieldStreams fields;
  if (!wavelet::splitPicturePayload(payload.data(), static_cast<std::uint32_t>(payload.size()), fields))
    return std::nullopt;
  const int height = standard576 ? 576 : 486;
  wavelet::CWaveletDecoder decoder(720, height);
  std::vector<std::uint8_t> output(768 * 576 * 3);
  wavelet::DecodeSettings settings;
  settings.region.colEnd = wavelet::kColumnLimits[level];
  settings.levels = level;
  settings.setFields(fields);
  settings.output = output.data();
  settings.outputSize = output.size();
  const wavelet::DecodeReport report = decoder.Decode(settings);
  if (!report.ok()) return std::nullopt;
  RgbFrame frame;
  frame.resize(report.outWidth, report.outHeight);
  for (int y = 0; y < frame.height; ++y) {
    const std::uint8_t* row = output.data() + static_cast<std::size_t>(frame.height - 1 - y) * frame.width * 3;
    for (int x = 0; x < frame.width; ++x) {
      frame.pixel(x, y)[0] = row[3 * x + 2];
      frame.pixel(x, y)[1] = row[3 * x + 1];
      frame.pixel(x, y)[2] = row[3 * x + 0];
    }
  }
  return frame;
}

double psnr(const RgbFrame& source, const RgbFrame& decoded, int level) {
  const int step = 1 << level;
  double squared = 0;
  long long count = 0;
  for (int y = 0; y < decoded.height && y * step < source.height; ++y)
    for (int x = 0; x < decoded.width && x * step < source.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const double difference = double(source.pixel(x * step, y * step)[c]) - decoded.pixel(x, y)[c];
        squared += difference * difference;
        ++count;
      }
  if (count == 0) return 0;
  const double mean = squared / static_cast<double>(count);
  return mean == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mean);
}

RgbFrame gradientImage(int height) {
  RgbFrame image;
  image.resize(720, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 720; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x * 255 / 719);
      p[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
      p[2] = static_cast<std::uint8_t>((x > 200 && x < 400 && y > 100 && y < 300) ? 220 : 60);
    }
  return image;
}

const Item* Message::find(std::uint32_t itemTag) const {
  for (const Item& item : items)
    if (item.tag == itemTag) return &item;
  return nullptr;
}

std::optional<ReplyStatus> Message::pdat() const {
  const Item* item = find(protocol::kTagPdat);
  if (!item || item->data.size() < 16) return std::nullopt;
  return protocol::decodePdat(item->data.data(), static_cast<std::int32_t>(item->data.size()));
}

RawViewer::~RawViewer() { close(); }

void RawViewer::close() {
  platform::socketClose(socket_);
  socket_ = platform::kNoSocket;
  pending_.clear();
}

bool RawViewer::connect(int port) {
  close();
  socket_ = platform::socketCreate();
  if (socket_ == platform::kNoSocket) return false;
  if (!platform::socketConnect(socket_, "127.0.0.1", port) || !platform::socketSetNonBlocking(socket_)) {
    close();
    return false;
  }
  return true;
}

bool RawViewer::sendBytes(const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (sent < bytes.size() && Clock::now() < deadline) {
    const int count = platform::socketSend(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
    if (count < 0) return false;
    if (count == 0) platform::socketWaitWritable(socket_, 20);
    sent += static_cast<std::size_t>(count);
  }
  return sent == bytes.size();
}

bool RawViewer::sendRequest(std::int32_t code, std::int32_t word2) {
  return sendBytes(protocol::requestMessage(code, word2));
}

bool RawViewer::readExactly(std::size_t length, std::vector<std::uint8_t>& out, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::uint8_t buffer[65536];
  while (pending_.size() < length) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    if (platform::socketWaitReadable(socket_, static_cast<int>(std::min<long long>(left, 50))) < 0) return false;
    const int count = platform::socketReceive(socket_, buffer, sizeof buffer);
    if (count < 0) return false;
    pending_.insert(pending_.end(), buffer, buffer + count);
  }
  out.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
  return true;
}

std::optional<Message> RawViewer::readMessage(int timeoutMs) {
  std::vector<std::uint8_t> header, body;
  if (!readExactly(8, header, timeoutMs)) return std::nullopt;
  const std::uint32_t total = le::readU32(header.data() + 4);
  if (total < 8 || total > (64u << 20)) return std::nullopt;
  if (!readExactly(total - 8, body, timeoutMs)) return std::nullopt;
  Message message;
  message.tag = le::readU32(header.data());
  std::size_t offset = 0;
  while (offset + 8 <= body.size()) {
    Item item;
    item.tag = le::readU32(body.data() + offset);
    const std::uint32_t length = le::readU32(body.data() + offset + 4);
    if (length > body.size() - offset - 8) return std::nullopt;
    item.data.assign(body.begin() + static_cast<std::ptrdiff_t>(offset + 8),
                     body.begin() + static_cast<std::ptrdiff_t>(offset + 8 + length));
    message.items.push_back(std::move(item));
    offset += 8 + length;
  }
  return message;
}

bool RawViewer::quietFor(int timeoutMs) {
  if (!pending_.empty()) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    const int ready = platform::socketWaitReadable(socket_, 20);
    if (ready != 0) return false;
  }
  return true;
}

bool RawViewer::closedWithin(int timeoutMs, std::size_t* discarded) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t count = pending_.size();
  pending_.clear();
  std::uint8_t buffer[65536];
  bool closed = false;
  while (Clock::now() < deadline) {
    if (platform::socketWaitReadable(socket_, 20) == 0) continue;
    const int received = platform::socketReceive(socket_, buffer, sizeof buffer);
    if (received < 0) {
      closed = true;
      break;
    }
    count += static_cast<std::size_t>(received);
  }
  if (discarded) *discarded = count;
  return closed;
}

} // namespace recorder::test
