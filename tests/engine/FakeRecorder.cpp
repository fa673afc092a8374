#include "tests/engine/FakeRecorder.h"

#include "engine/Protocol.h"
#include "engine/TaggedMessage.h"

#include <chrono>

namespace testsupport {

FakeRecorder::FakeRecorder(Responder responder, int port) : responder_(std::move(responder)) {
  listener_ = platform::socketListen("127.0.0.1", port);
  if (listener_ == platform::kNoSocket) return;
  port_ = platform::socketLocalPort(listener_);
  thread_ = std::thread([this] { serve(); });
}

FakeRecorder::~FakeRecorder() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  platform::socketClose(listener_);
}

void FakeRecorder::setResponder(Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

void FakeRecorder::send(const Bytes& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  outgoing_.push_back({bytes, false});
}

void FakeRecorder::dropConnection() {
  std::lock_guard<std::mutex> lock(mutex_);
  outgoing_.push_back({{}, true});
}

std::vector<RecordedRequest> FakeRecorder::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int FakeRecorder::connectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

bool FakeRecorder::waitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

bool FakeRecorder::waitForConnections(int count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return connections_ >= count; });
}

void FakeRecorder::serve() {
  while (!stop_.load()) {
    if (platform::socketWaitReadable(listener_, 10) != 1) continue;
    const platform::SocketHandle client = platform::socketAccept(listener_);
    if (client == platform::kNoSocket) continue;
    platform::socketSetNonBlocking(client);
    platform::socketSetNoDelay(client);
    int connection;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connection = ++connections_;
      outgoing_.clear(); // nothing queued for an earlier connection goes to this one
    }
    changed_.notify_all();
    serveClient(client, connection);
    platform::socketClose(client);
  }
}

void FakeRecorder::serveClient(platform::SocketHandle client, int connection) {
  Bytes pending;
  std::uint8_t chunk[4096];
  while (!stop_.load()) {
    bool closeRequested = false;
    if (!flushOutgoing(client, closeRequested) || closeRequested) return;
    if (platform::socketWaitReadable(client, 5) != 1) continue;
    const int received = platform::socketReceive(client, chunk, sizeof chunk);
    if (received < 0) return; // the viewer closed
    pending.insert(pending.end(), chunk, chunk + received);
    collectRequests(pending, connection);
  }
}

bool FakeRecorder::flushOutgoing(platform::SocketHandle client, bool& closeRequested) {
  std::vector<Outgoing> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(outgoing_);
  }
  for (const Outgoing& out : batch) {
    std::size_t sent = 0;
    while (sent < out.bytes.size()) {
      if (stop_.load()) return false;
      const int count = platform::socketSend(client, out.bytes.data() + sent, int(out.bytes.size() - sent));
      if (count < 0) return false;
      if (count == 0) {
        platform::socketWaitWritable(client, 10);
        continue;
      }
      sent += std::size_t(count);
    }
    if (out.closeAfter) {
      closeRequested = true;
      return true;
    }
  }
  return true;
}

// Takes every complete request out of `pending`, records it and queues the responder's answer.
void FakeRecorder::collectRequests(Bytes& pending, int connection) {
  CTaggedMessage parser;
  protocol::defineMessage(parser);
  while (pending.size() >= 8) {
    if (!parser.parseHeader(pending.data(), std::int32_t(pending.size()))) {
      pending.erase(pending.begin(), pending.begin() + 8);
      continue;
    }
    const std::int32_t total = parser.length();
    if (total < 8 || total > 1024 * 1024) {
      pending.erase(pending.begin(), pending.begin() + 8);
      continue;
    }
    if (pending.size() < std::size_t(total)) return;
    RecordedRequest request;
    request.connection = connection;
    request.bytes.assign(pending.begin(), pending.begin() + total);
    if (parser.parseItems(request.bytes.data(), total)) {
      for (std::int32_t i = 0; i < parser.itemCount(); ++i) {
        const CTaggedMessage::ItemEntry& item = parser.item(i);
        if (item.id == protocol::kItemPdat)
          request.words = protocol::decodePdat(request.bytes.data() + item.dataOffset, item.dataLength);
      }
    }
    pending.erase(pending.begin(), pending.begin() + total);
    Responder responder;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      responder = responder_;
    }
    changed_.notify_all();
    if (responder) {
      Bytes answer = responder(request);
      if (!answer.empty()) send(answer);
    }
  }
}

} // namespace testsupport
