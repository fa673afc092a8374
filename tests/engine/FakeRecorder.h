#pragma once
// A recorder stand-in for tests: a loopback TCP server on its own thread, speaking through
// the platform sockets. It accepts one viewer connection at a time, records every request
// the viewer sends, answers through a responder callback, and sends whatever a test queues.
// Tests can also drop the connection to simulate a broken network.
#include "tests/engine/ProtocolBuilders.h"

#include "engine/MessagePeer.h"
#include "platform/Socket.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace testsupport {

// Starts the process's socket library for the lifetime of the object (WSAStartup on
// Windows; nothing on POSIX). Tests that use sockets hold one.
class NetworkSession {
public:
  NetworkSession() : started_(platform::networkStartup()) {}
  ~NetworkSession() {
    if (started_) platform::networkCleanup();
  }
  NetworkSession(const NetworkSession&) = delete;
  NetworkSession& operator=(const NetworkSession&) = delete;
  bool started() const { return started_; }

private:
  bool started_;
};

struct RecordedRequest {
  int connection = 0; // 1 for the first accepted connection, 2 for the next, ...
  Bytes bytes;        // the whole message as received
  ReplyStatus words;  // its "PDAT" words (zero when it had none)
};

class FakeRecorder {
public:
  // Answers one request: the bytes to send back (may be empty). Runs on the server thread.
  using Responder = std::function<Bytes(const RecordedRequest&)>;

  // Listens on 127.0.0.1:`port` (0: a free port); listening() tells whether that worked.
  explicit FakeRecorder(Responder responder = {}, int port = 0);
  ~FakeRecorder();
  FakeRecorder(const FakeRecorder&) = delete;
  FakeRecorder& operator=(const FakeRecorder&) = delete;

  int port() const { return port_; }
  bool listening() const { return port_ > 0; }

  void setResponder(Responder responder);
  // Queues bytes for the current connection (dropped if there is none when they go out).
  void send(const Bytes& bytes);
  // Closes the current connection after the bytes queued so far have gone out.
  void dropConnection();

  std::vector<RecordedRequest> requests() const;
  int connectionCount() const;
  // Waits until at least `count` requests or connections have been seen; false on timeout.
  bool waitForRequests(std::size_t count, int timeoutMs) const;
  bool waitForConnections(int count, int timeoutMs) const;

private:
  struct Outgoing {
    Bytes bytes;
    bool closeAfter = false;
  };

  void serve();
  void serveClient(platform::SocketHandle client, int connection);
  bool flushOutgoing(platform::SocketHandle client, bool& closeRequested);
  void collectRequests(Bytes& pending, int connection);

  NetworkSession network_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  int port_ = -1;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Responder responder_;
  std::vector<Outgoing> outgoing_;
  std::vector<RecordedRequest> requests_;
  int connections_ = 0;
  std::thread thread_;
};

} // namespace testsupport
