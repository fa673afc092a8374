#pragma once
// Two small servers that make one recorder conversation repeatable. RecordingProxy stands
// between a viewer and the recorder and keeps every byte the recorder sent on the first
// connection; ReplayRecorder sends exactly those bytes to each viewer that connects, then
// stays silent. A viewer fed by the replay receives the same messages, so it decodes the same
// picture with the same header as the viewer that was recorded.
#include "platform/Socket.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace pluginsupport {

class RecordingProxy {
public:
  // Viewers are accepted at once, but nothing passes until release(): the test can first
  // give the plug-in its window, so that none of the recorder's messages finds it without one.
  explicit RecordingProxy(int recorderPort);
  ~RecordingProxy();
  RecordingProxy(const RecordingProxy&) = delete;
  RecordingProxy& operator=(const RecordingProxy&) = delete;

  int port() const { return port_; }
  void release() { released_.store(true); }
  std::vector<std::uint8_t> recorded() const;

private:
  void run();

  int recorderPort_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> released_{false};
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> recorded_;
  std::thread thread_;
};

class ReplayRecorder {
public:
  explicit ReplayRecorder(std::vector<std::uint8_t> bytes);
  ~ReplayRecorder();
  ReplayRecorder(const ReplayRecorder&) = delete;
  ReplayRecorder& operator=(const ReplayRecorder&) = delete;

  int port() const { return port_; }

private:
  void run();

  std::vector<std::uint8_t> bytes_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

} // namespace pluginsupport
