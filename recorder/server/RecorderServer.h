#pragma once
// The recorder simulator's TCP server: accepts viewers and serves each on a thread of its
// own, so a slow viewer never holds up the others. Used by the camview-recorder program
// and, in-process, by tests.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <iosfwd>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Socket.h"
#include "recorder/server/EncodedStills.h"
#include "recorder/server/LiveCameras.h"
#include "recorder/server/ReadyPictures.h"
#include "recorder/server/ServerOptions.h"
#include "recorder/server/Session.h"
#include "recorder/server/StatusLog.h"

namespace recorder {

class RecorderServer {
public:
  // Status lines go to `statusOut` (stderr in the program) unless options.quiet.
  RecorderServer(ServerOptions options, std::ostream& statusOut);
  ~RecorderServer();
  RecorderServer(const RecorderServer&) = delete;
  RecorderServer& operator=(const RecorderServer&) = delete;

  // Binds and starts accepting. False with a reason when the address cannot be bound or
  // there is no encoder.
  bool start(std::string& error);
  // Closes the listener and every connection and waits for their threads. Idempotent.
  void stop();

  int port() const { return port_; }
  const std::string& host() const { return options_.host; }

  // Counters over the server's life, for tests and the closing line.
  std::uint64_t connectionsAccepted() const { return accepted_.load(); }
  std::uint64_t connectionsRefused() const { return refused_.load(); }
  std::uint64_t picturesSent() const;
  int activeSessions() const;

  // Makes the server refuse connections (the listening socket is closed) for a while. Returns
  // once the listener is closed, so that every connection attempt after it is refused.
  void refuseFor(int milliseconds);

private:
  struct Running {
    std::unique_ptr<Session> session;
    std::thread thread;
  };

  void acceptLoop();
  void reapFinished(bool all);
  bool refusing() const;
  bool ensureListening();
  void closeListener();

  ServerOptions options_;
  StatusLog log_;
  std::shared_ptr<PayloadEncoder> encoder_;
  EncodedStills encodedStills_;
  LiveCameras liveCameras_;
  std::unique_ptr<ReadyPictures> readyPictures_; // after the encoder and the cameras it uses
  SessionEnvironment environment_;

  platform::SocketHandle listener_ = platform::kNoSocket; // owned by the accept thread once started
  std::mutex listenerMutex_;
  std::condition_variable listenerClosed_;
  bool listening_ = false; // under listenerMutex_: whether listener_ is open
  int port_ = 0;
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> started_{false};
  std::atomic<std::int64_t> refuseUntilMs_{0}; // steady clock, milliseconds
  std::atomic<std::uint64_t> accepted_{0};
  std::atomic<std::uint64_t> refused_{0};
  std::atomic<std::uint64_t> picturesOfFinished_{0};

  mutable std::mutex sessionsMutex_;
  std::list<Running> sessions_;
  int nextNumber_ = 1;
};

} // namespace recorder
