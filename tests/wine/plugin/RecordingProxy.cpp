#include "tests/wine/plugin/RecordingProxy.h"

#include <chrono>

namespace pluginsupport {
namespace {

constexpr int kPollMs = 5;

// Sends all of `data` on a non-blocking socket; false when the peer is gone.
bool sendAll(platform::SocketHandle socket, const std::uint8_t* data, int length, const std::atomic<bool>& stopping) {
  while (length > 0 && !stopping.load()) {
    const int sent = platform::socketSend(socket, data, length);
    if (sent < 0) return false;
    if (sent == 0) {
      platform::socketWaitWritable(socket, kPollMs);
      continue;
    }
    data += sent;
    length -= sent;
  }
  return length == 0;
}

// Moves what `from` has to `to`; appends it to `copy` when given. False when a side closed.
bool forward(platform::SocketHandle from, platform::SocketHandle to, std::vector<std::uint8_t>* copy, std::mutex& mutex,
             const std::atomic<bool>& stopping) {
  std::uint8_t buffer[16384];
  for (;;) {
    const int got = platform::socketReceive(from, buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    if (copy) {
      std::lock_guard<std::mutex> lock(mutex);
      copy->insert(copy->end(), buffer, buffer + got);
    }
    if (!sendAll(to, buffer, got, stopping)) return false;
  }
}

platform::SocketHandle listenOnLoopback(int& port) {
  platform::SocketHandle listener = platform::socketListen("127.0.0.1", 0);
  port = listener == platform::kNoSocket ? 0 : platform::socketLocalPort(listener);
  return listener;
}

// Waits for a viewer; kNoSocket when stopping.
platform::SocketHandle acceptViewer(platform::SocketHandle listener, const std::atomic<bool>& stopping) {
  while (!stopping.load())
    if (platform::socketWaitReadable(listener, 20) == 1) return platform::socketAccept(listener);
  return platform::kNoSocket;
}

} // namespace

RecordingProxy::RecordingProxy(int recorderPort) : recorderPort_(recorderPort) {
  platform::networkStartup();
  listener_ = listenOnLoopback(port_);
  thread_ = std::thread([this] { run(); });
}

RecordingProxy::~RecordingProxy() {
  stopping_.store(true);
  thread_.join();
  platform::socketClose(listener_);
  platform::networkCleanup();
}

std::vector<std::uint8_t> RecordingProxy::recorded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return recorded_;
}

void RecordingProxy::run() {
  bool first = true;
  while (!stopping_.load()) {
    const platform::SocketHandle viewer = acceptViewer(listener_, stopping_);
    if (viewer == platform::kNoSocket) continue;
    while (!released_.load() && !stopping_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    const platform::SocketHandle recorder = platform::socketCreate();
    if (platform::socketConnect(recorder, "127.0.0.1", recorderPort_) && platform::socketSetNonBlocking(recorder) &&
        platform::socketSetNonBlocking(viewer)) {
      std::vector<std::uint8_t>* copy = first ? &recorded_ : nullptr;
      while (!stopping_.load() && forward(viewer, recorder, nullptr, mutex_, stopping_) &&
             forward(recorder, viewer, copy, mutex_, stopping_))
        platform::socketWaitReadable(recorder, kPollMs);
    }
    first = false;
    platform::socketClose(recorder);
    platform::socketClose(viewer);
  }
}

ReplayRecorder::ReplayRecorder(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
  platform::networkStartup();
  listener_ = listenOnLoopback(port_);
  thread_ = std::thread([this] { run(); });
}

ReplayRecorder::~ReplayRecorder() {
  stopping_.store(true);
  thread_.join();
  platform::socketClose(listener_);
  platform::networkCleanup();
}

void ReplayRecorder::run() {
  while (!stopping_.load()) {
    const platform::SocketHandle viewer = acceptViewer(listener_, stopping_);
    if (viewer == platform::kNoSocket) continue;
    if (platform::socketSetNonBlocking(viewer) &&
        sendAll(viewer, bytes_.data(), static_cast<int>(bytes_.size()), stopping_)) {
      // Requests are read and dropped; the connection stays open until the viewer leaves.
      std::uint8_t sink[4096];
      while (!stopping_.load() && platform::socketReceive(viewer, sink, sizeof sink) >= 0)
        platform::socketWaitReadable(viewer, 20);
    }
    platform::socketClose(viewer);
  }
}

} // namespace pluginsupport
