#include "recorder/server/Session.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "base/LittleEndian.h"
#include "engine/MessageWriter.h"
#include "platform/Time.h"
#include "recorder/server/PictureHeader.h"
#include "recorder/server/WallClock.h"

namespace recorder {
namespace {

constexpr int kPollMs = 20;                     // longest wait before looking at stop again
constexpr std::uint64_t kMaxOutstanding = 1000; // requests counted ahead at most
constexpr std::uint32_t kTagUnknownItem = CTaggedMessage::tagWord("XTRA");
constexpr std::uint32_t kTagWrongMessage = CTaggedMessage::tagWord("QLPR");

// Noise that never holds the message tag at a multiple of 8 bytes, so a viewer that steps
// through it 8 bytes at a time does not mistake it for a message.
std::vector<std::uint8_t> noise(std::size_t length, std::uint64_t seed) {
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
  std::vector<std::uint8_t> bytes(length);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  for (std::size_t at = 0; at + 4 <= length; at += 8)
    if (le::readU32(bytes.data() + at) == protocol::kTagMessage) bytes[at] ^= 0x01;
  return bytes;
}

} // namespace

Session::Session(int number, platform::SocketHandle socket, const SessionEnvironment& environment)
    : number_(number), socket_(socket), environment_(environment), options_(*environment.options),
      pacer_(environment.options->picturesPerSecond) {}

Session::~Session() { platform::socketClose(socket_); }

void Session::status(const std::string& text) {
  std::string prefix = "#" + std::to_string(number_);
  if (connectionId_ >= 0 || opened_) prefix += " id " + std::to_string(connectionId_);
  environment_.log->line(prefix + ": " + text);
}

std::string Session::rateText(Clock::time_point now) const {
  const double seconds = std::chrono::duration<double>(now - openedAt_).count();
  const auto pictures = counters_.picturesSent.load();
  const double megabits = static_cast<double>(counters_.bytesSent.load()) * 8 / 1e6;
  char text[128];
  std::snprintf(text, sizeof text, "%llu pictures, %.1f/s, %.2f Mbit/s, %llu faults",
                static_cast<unsigned long long>(pictures), seconds > 0 ? pictures / seconds : 0.0,
                seconds > 0 ? megabits / seconds : 0.0, static_cast<unsigned long long>(counters_.faultsFired.load()));
  return text;
}

void Session::periodicStatus(Clock::time_point now) {
  if (!opened_ || options_.statusIntervalMs <= 0) return;
  if (now - lastStatus_ < std::chrono::milliseconds(options_.statusIntervalMs)) return;
  const double seconds = std::chrono::duration<double>(now - lastStatus_).count();
  const auto pictures = counters_.picturesSent.load();
  char recent[64];
  std::snprintf(recent, sizeof recent, " (now %.1f/s)",
                static_cast<double>(pictures - picturesAtLastStatus_) / seconds);
  status(rateText(now) + recent);
  lastStatus_ = now;
  picturesAtLastStatus_ = pictures;
}

void Session::run() {
  platform::socketSetNonBlocking(socket_);
  platform::socketSetNoDelay(socket_);
  status("connected");
  while (!stopping()) {
    if (!receiveAvailable()) break;
    if (!handleRequests()) break;
    const auto now = Clock::now();
    periodicStatus(now);
    if (opened_ && credits_ > 0 && pacer_.due(now)) {
      if (!sendPicture()) break;
      --credits_;
      continue;
    }
    int waitMs = kPollMs;
    if (opened_ && credits_ > 0)
      waitMs = static_cast<int>(std::min<long long>(
          kPollMs, std::chrono::duration_cast<std::chrono::milliseconds>(pacer_.remaining(now)).count() + 1));
    if (platform::socketWaitReadable(socket_, waitMs) < 0) {
      closeReason_ = "socket error";
      break;
    }
  }
  if (stopping()) closeReason_ = "recorder stopping";
  status("closed (" + closeReason_ + ")" + (opened_ ? ", " + rateText(Clock::now()) : std::string()));
  platform::socketClose(socket_);
  socket_ = platform::kNoSocket;
  finished_.store(true, std::memory_order_release);
}

bool Session::receiveAvailable() {
  std::uint8_t buffer[4096];
  for (;;) {
    const int received = platform::socketReceive(socket_, buffer, sizeof buffer);
    if (received < 0) {
      closeReason_ = "viewer closed";
      return false;
    }
    if (received == 0) return true;
    reader_.append(buffer, static_cast<std::size_t>(received));
  }
}

bool Session::handleRequests() {
  for (;;) {
    ReplyStatus words;
    switch (reader_.next(words)) {
    case protocol::RequestReader::Result::NeedMore:
      return true;
    case protocol::RequestReader::Result::Ignored:
      status("ignored a message without a request");
      break;
    case protocol::RequestReader::Result::Skipped:
      status("skipped 8 bytes that are not a message");
      break;
    case protocol::RequestReader::Result::Invalid:
      closeReason_ = "request with an impossible length";
      return false;
    case protocol::RequestReader::Result::Request:
      if (words.words[0] == protocol::kRequestOpen) {
        if (opened_) {
          status("ignored a second open request");
        } else if (!handleOpen(words.words[2])) {
          return false;
        }
      } else if (words.words[0] == protocol::kRequestNext) {
        counters_.nextRequests.fetch_add(1);
        if (opened_)
          credits_ = std::min(credits_ + 1, kMaxOutstanding);
        else
          status("ignored a next-picture request before the open request");
      } else {
        status("ignored request code " + std::to_string(words.words[0]));
      }
      break;
    }
  }
}

bool Session::handleOpen(std::int32_t connectionId) {
  connectionId_ = connectionId;
  counters_.connectionId.store(connectionId);
  openedAt_ = lastStatus_ = Clock::now();
  status("open request, camera \"" + cameraName(options_.camera, connectionId) + "\"");
  if (!applyFaults(options_.faults.atOpen(connectionId))) return false;
  protocol::MessageWriter reply;
  std::vector<std::uint8_t> table;
  if (options_.language) {
    table = buildLanguageItem(*options_.language);
    reply.addItem(protocol::kTagLang, table.data(), table.size());
  }
  reply.addPdat(protocol::kReplyEstablished, 0, 0, options_.diagnostics ? 1 : 0);
  if (!sendMessage(reply.bytes())) return false;
  opened_ = true;
  counters_.opened.store(true);
  credits_ = 1; // the first picture goes out unasked
  return true;
}

bool Session::pause(int milliseconds) {
  const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (Clock::now() < until) {
    if (stopping()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    platform::sleepMs(static_cast<std::uint32_t>(std::clamp<long long>(left, 1, kPollMs)));
  }
  return true;
}

bool Session::applyFaults(const std::vector<FaultRule>& rules) {
  for (const FaultRule& rule : rules) {
    counters_.faultsFired.fetch_add(1);
    status("fault \"" + rule.text() + "\"");
    switch (rule.action) {
    case FaultAction::Close:
      closeReason_ = "fault: close";
      return false;
    case FaultAction::End:
      sendReply(protocol::kReplyEnd, 0);
      closeReason_ = "fault: end";
      return false;
    case FaultAction::Error:
      if (!sendReply(protocol::kReplyError, static_cast<std::int32_t>(rule.argument))) return false;
      break;
    case FaultAction::Reply:
      if (!sendReply(static_cast<std::int32_t>(rule.argument), static_cast<std::int32_t>(rule.argument2))) return false;
      break;
    case FaultAction::Garbage:
      if (!sendAll(noise(static_cast<std::size_t>(rule.argument), counters_.faultsFired.load()))) return false;
      break;
    case FaultAction::BadTag: {
      protocol::MessageWriter wrong(kTagWrongMessage);
      wrong.addPdat(protocol::kReplyError, 0, 0, 2001); // would show an error if it were taken
      if (!sendAll(wrong.bytes())) return false;
      break;
    }
    case FaultAction::BadItem:
      badItemNext_ = true;
      break;
    case FaultAction::Half:
      halfNext_ = true;
      break;
    case FaultAction::Stall:
      if (!pause(static_cast<int>(rule.argument))) {
        closeReason_ = "recorder stopping";
        return false;
      }
      break;
    case FaultAction::Corrupt:
      corruptNext_ = true;
      break;
    case FaultAction::Refuse:
      if (environment_.refuseConnections) environment_.refuseConnections(static_cast<int>(rule.argument));
      break;
    }
  }
  return true;
}

bool Session::sendBytes(const std::uint8_t* data, std::size_t length) {
  std::size_t sent = 0;
  while (sent < length) {
    const int chunk = static_cast<int>(std::min<std::size_t>(length - sent, 1 << 20));
    const int count = platform::socketSend(socket_, data + sent, chunk);
    if (count < 0) {
      closeReason_ = "viewer closed while sending";
      return false;
    }
    if (count == 0) {
      // The viewer is not reading: wait here; only this connection waits.
      if (stopping()) return false;
      if (platform::socketWaitWritable(socket_, kPollMs) < 0) {
        closeReason_ = "socket error";
        return false;
      }
      continue;
    }
    sent += static_cast<std::size_t>(count);
    counters_.bytesSent.fetch_add(static_cast<std::uint64_t>(count));
  }
  return true;
}

bool Session::sendAll(const std::vector<std::uint8_t>& bytes) { return sendBytes(bytes.data(), bytes.size()); }

bool Session::sendMessage(const std::vector<std::uint8_t>& message) {
  if (!halfNext_) return sendAll(message);
  halfNext_ = false;
  sendBytes(message.data(), message.size() / 2);
  closeReason_ = "fault: half a message";
  return false;
}

bool Session::sendReply(std::int32_t code, std::int32_t parameter) {
  protocol::MessageWriter reply;
  reply.addPdat(code, 0, 0, parameter);
  return sendMessage(reply.bytes());
}

bool Session::makePayload(const PictureContext& context, std::vector<std::uint8_t>& payload,
                          std::shared_ptr<const std::vector<std::uint8_t>>& shared) {
  const int height = pictureHeight(options_.encoding.standard576);
  if (frame_.width != kPictureWidth || frame_.height != height) frame_.resize(kPictureWidth, height);
  std::string error;
  if (!options_.stills) {
    if (!camera_) camera_ = environment_.liveCameras->camera(connectionId_);
    // A viewer's first picture may be the camera's latest one, made while nobody watched it,
    // as a recorder answers with the picture it has; every later one is of its own period.
    const bool first = counters_.picturesSent.load() == 0;
    shared = camera_->picture(Clock::now(), context, frame_, *environment_.encoder, options_.encoding, error,
                              first ? options_.readyPictureAge() : Clock::duration::zero());
    if (!shared) status("cannot make a picture: " + error);
    return shared != nullptr;
  }
  PictureSource& source = *options_.stills;
  const auto still = source.stillIndex(context);
  if (still && environment_.encodedStills) {
    shared = environment_.encodedStills->find(*still);
    if (shared) return true;
  }
  if (!source.render(context, frame_)) {
    status("the picture source has no picture");
    return false;
  }
  if (!environment_.encoder->encode(frame_, options_.encoding, payload, error)) {
    status("cannot encode: " + error);
    return false;
  }
  if (still && environment_.encodedStills)
    environment_.encodedStills->store(*still, std::make_shared<const std::vector<std::uint8_t>>(payload));
  return true;
}

bool Session::sendPicture() {
  const std::uint64_t sentSoFar = counters_.picturesSent.load();
  if (!applyFaults(options_.faults.beforePicture(connectionId_, sentSoFar))) return false;
  const auto start = Clock::now();
  const WallClockReading clock = readWallClock();

  PictureContext context;
  context.connectionId = connectionId_;
  context.pictureNumber = sentSoFar;
  context.elapsedMs =
      static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(start - openedAt_).count());
  context.wallClockMs = clock.millisecondOfDay;
  context.interlaced = options_.encoding.fields == 2;
  context.cameraName = cameraName(options_.camera, connectionId_);

  std::shared_ptr<const std::vector<std::uint8_t>> shared;
  if (!makePayload(context, payload_, shared)) {
    closeReason_ = "no picture";
    return false;
  }
  const std::vector<std::uint8_t>* body = shared ? shared.get() : &payload_;
  if (corruptNext_) {
    corruptNext_ = false;
    if (body != &payload_) payload_ = *body;
    environment_.encoder->corrupt(payload_);
    body = &payload_;
  }

  PictureHeaderFields fields;
  fields.date = clock.date;
  fields.time = clock.time;
  fields.shortText = options_.text1;
  fields.camera = context.cameraName;
  const PictureSource* source = options_.stills ? options_.stills.get() : &testPattern_;
  fields.info = options_.text2.empty() ? source->describe(context) : options_.text2;
  fields.number = std::to_string((sentSoFar + 1) % 10000000);
  fields.mark = options_.text3;
  fields.standard576 = options_.encoding.standard576;
  fields.level = options_.encoding.level;
  const PictureHeaderBytes header = buildPictureHeader(fields);

  protocol::MessageWriter message;
  message.addItem(protocol::kTagHead, header.data(), header.size());
  if (badItemNext_) {
    badItemNext_ = false;
    const std::uint8_t filler[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    message.addItem(kTagUnknownItem, filler, sizeof filler);
  }
  message.addItem(protocol::kTagBody, body->data(), body->size());
  pacer_.sent(start);
  if (!sendMessage(message.bytes())) return false;
  counters_.picturesSent.fetch_add(1);
  return true;
}

} // namespace recorder
