#pragma once
// A recorder stand-in for tests and benchmarks: a loopback TCP server speaking through the
// platform sockets (so it runs under Wine as well), with a thread for each viewer connection.
// It records every request a viewer sends, answers each through a responder, sends whatever a
// test queues, and drops a connection on demand to simulate a broken network.
#include "tests/support/ProtocolMessages.h"

#include "engine/MessagePeer.h"
#include "platform/Socket.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
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
  int connection = 0;            // 1 for the first accepted connection, 2 for the next, ...
  int index = 0;                 // 0 for the connection's first request, 1 for its next, ...
  std::int32_t connectionId = 0; // the id of the connection's latest open request (0: none yet)
  Bytes bytes;                   // the whole message as received
  ReplyStatus words;             // its "PDAT" words (zero when it had none)
};

// What the recorder does about one request: sends `bytes` (may be empty), then closes the
// connection when `close` is set.
struct Answer {
  Answer(Bytes reply = {}) : bytes(std::move(reply)) {}
  static Answer closing() {
    Answer answer;
    answer.close = true;
    return answer;
  }
  Bytes bytes;
  bool close = false;
};

class FakeRecorder {
public:
  // Answers one request. Runs on the request's connection thread: with several viewers it is
  // called from several threads at once.
  using Responder = std::function<Answer(const RecordedRequest&)>;

  // Listens on 127.0.0.1:`port` (0: a free port); listening() tells whether that worked.
  explicit FakeRecorder(Responder responder = {}, int port = 0);
  ~FakeRecorder();
  FakeRecorder(const FakeRecorder&) = delete;
  FakeRecorder& operator=(const FakeRecorder&) = delete;

  int port() const { return port_; }
  bool listening() const { return port_ > 0; }
  // Closes the listener and every connection, and waits for their threads.
  void stop();

  void setResponder(Responder responder);
  // Queues bytes for the newest connection (dropped when there is none).
  void send(const Bytes& bytes);
  // Closes the newest connection after the bytes queued for it so far have gone out.
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
  using Queue = std::vector<Outgoing>;

  void acceptLoop();
  void serve(platform::SocketHandle client, int connection, const std::shared_ptr<Queue>& queue);
  bool flush(platform::SocketHandle client, const std::shared_ptr<Queue>& queue, bool& closeRequested);
  void queue(const std::shared_ptr<Queue>& queue, Outgoing outgoing);

  NetworkSession network_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  int port_ = -1;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Responder responder_;
  std::shared_ptr<Queue> newest_; // the queue of the newest connection
  std::vector<RecordedRequest> requests_;
  int connections_ = 0;
  std::thread acceptThread_;
  std::list<std::thread> connectionThreads_; // added by the accept thread, joined by stop()
};

// A responder that streams pictures whose every byte a test can check. The open request (a
// connection's first) is answered with "connection established" (flags 1), a "LANG" item
// (languageItem()) and picture 0; its n-th next-picture request with picture n. Any other
// request closes the connection. Picture n of connection id c: header(c, n) and body(n, bodySize).
struct PictureStream {
  int bodySize = 1000;
  int languageBytes = 0; // > 0: every picture also carries a "LANG" item of that size

  Answer operator()(const RecordedRequest& request) const;

  // Header bytes (c + n + i) & 0xFF, with n whole in the first four bytes (a fast link
  // passes 256 pictures in no time).
  static Bytes header(std::int32_t connectionId, int n);
  // The number `header` wrote into a picture header (-1 when it is too short).
  static int pictureNumber(const Bytes& header);
  // Body bytes (n * 7 + i) & 0xFF.
  static Bytes body(int n, int size);
};

} // namespace testsupport
