#include "tests/support/FakeRecorder.h"

#include "engine/Protocol.h"
#include "engine/RequestReader.h"
#include "tests/support/AllocationExemption.h"

#include <chrono>

namespace testsupport {

FakeRecorder::FakeRecorder(Responder responder, int port) : responder_(std::move(responder)) {
  listener_ = platform::socketListen("127.0.0.1", port);
  if (listener_ == platform::kNoSocket) return;
  port_ = platform::socketLocalPort(listener_);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

FakeRecorder::~FakeRecorder() { stop(); }

void FakeRecorder::stop() {
  // Each thread notices within one short wait and closes its own socket.
  if (stop_.exchange(true)) return;
  if (acceptThread_.joinable()) acceptThread_.join();
  for (std::thread& thread : connectionThreads_) thread.join();
  platform::socketClose(listener_);
}

void FakeRecorder::setResponder(Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

void FakeRecorder::queue(const std::shared_ptr<Queue>& queue, Outgoing outgoing) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue) queue->push_back(std::move(outgoing));
}

void FakeRecorder::send(const Bytes& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (newest_) newest_->push_back({bytes, false});
}

void FakeRecorder::dropConnection() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (newest_) newest_->push_back({{}, true});
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

void FakeRecorder::acceptLoop() {
  // The simulated recorder is never the code under test of an allocation failure.
  exemptThisThreadFromFailures();
  while (!stop_.load()) {
    if (platform::socketWaitReadable(listener_, 10) != 1) continue;
    const platform::SocketHandle client = platform::socketAccept(listener_);
    if (client == platform::kNoSocket) continue;
    platform::socketSetNonBlocking(client);
    platform::socketSetNoDelay(client);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const int connection = ++connections_;
      auto queue = std::make_shared<Queue>();
      newest_ = queue;
      connectionThreads_.emplace_back([this, client, connection, queue] {
        exemptThisThreadFromFailures();
        serve(client, connection, queue);
        platform::socketClose(client);
      });
    }
    changed_.notify_all();
  }
}

void FakeRecorder::serve(platform::SocketHandle client, int connection, const std::shared_ptr<Queue>& queue) {
  // The viewer's requests, read by the protocol's own bounded reader; `pending` mirrors the
  // bytes it holds, so that each request is recorded whole.
  protocol::RequestReader reader;
  Bytes pending;
  int index = 0;
  std::int32_t connectionId = 0;
  std::uint8_t chunk[4096];
  while (!stop_.load()) {
    bool closeRequested = false;
    if (!flush(client, queue, closeRequested) || closeRequested) return;
    if (platform::socketWaitReadable(client, 5) != 1) continue;
    const int received = platform::socketReceive(client, chunk, sizeof chunk);
    if (received < 0) return; // the viewer closed
    reader.append(chunk, std::size_t(received));
    pending.insert(pending.end(), chunk, chunk + received);
    for (;;) {
      const std::size_t before = reader.buffered();
      RecordedRequest request;
      const protocol::RequestReader::Result result = reader.next(request.words);
      if (result == protocol::RequestReader::Result::NeedMore) break;
      if (result == protocol::RequestReader::Result::Invalid) return; // the stream cannot be trusted
      const auto taken = std::ptrdiff_t(before - reader.buffered());
      if (result == protocol::RequestReader::Result::Skipped) { // bytes out of step: not a request
        pending.erase(pending.begin(), pending.begin() + taken);
        continue;
      }
      if (result == protocol::RequestReader::Result::Ignored) request.words = ReplyStatus{};
      request.connection = connection;
      request.index = index++;
      if (request.words.words[0] == protocol::kRequestOpen) connectionId = request.words.words[2];
      request.connectionId = connectionId;
      request.bytes.assign(pending.begin(), pending.begin() + taken);
      pending.erase(pending.begin(), pending.begin() + taken);
      Responder responder;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        responder = responder_;
      }
      changed_.notify_all();
      if (!responder) continue;
      Answer answer = responder(request);
      if (!answer.bytes.empty()) this->queue(queue, {std::move(answer.bytes), false});
      if (answer.close) this->queue(queue, {{}, true});
    }
  }
}

bool FakeRecorder::flush(platform::SocketHandle client, const std::shared_ptr<Queue>& queue, bool& closeRequested) {
  Queue batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(*queue);
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

Answer PictureStream::operator()(const RecordedRequest& request) const {
  const std::int32_t code = request.words.words[0];
  if (request.index == 0 && code != protocol::kRequestOpen) return Answer::closing();
  if (request.index > 0 && code != protocol::kRequestNext) return Answer::closing();
  const int n = request.index;
  std::vector<Item> picture = {{protocol::kItemHead, header(request.connectionId, n)},
                               {protocol::kItemBody, body(n, bodySize)}};
  if (languageBytes > 0) picture.push_back({protocol::kItemLang, languageItem(languageBytes)});
  Bytes bytes = buildMessage(picture);
  if (n > 0) return bytes;
  Bytes opening = buildMessage(
      {{protocol::kItemPdat, pdat(protocol::kReplyEstablished, 0, 0, 1)}, {protocol::kItemLang, languageItem()}});
  opening.insert(opening.end(), bytes.begin(), bytes.end());
  return opening;
}

Bytes PictureStream::header(std::int32_t connectionId, int n) {
  Bytes out(PictureRecord::kHeaderSize);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::uint8_t(connectionId + n + int(i));
  le::writeI32(out.data(), n);
  return out;
}

int PictureStream::pictureNumber(const Bytes& header) { return header.size() < 4 ? -1 : le::readI32(header.data()); }

Bytes PictureStream::body(int n, int size) {
  Bytes out(std::size_t(size > 0 ? size : 0));
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::uint8_t(n * 7 + int(i));
  return out;
}

} // namespace testsupport
