#pragma once
// One viewer's connection, served on its own thread: waits for the open request, answers
// "connection established" (with the flags and, if configured, a text table), sends the
// first picture unasked and then one picture per next-picture request, paced, with the
// fault rules applied on the way.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/RequestReader.h"
#include "platform/Socket.h"
#include "recorder/server/EncodedStills.h"
#include "recorder/server/LiveCameras.h"
#include "recorder/server/Pacer.h"
#include "recorder/server/ServerOptions.h"
#include "recorder/server/StatusLog.h"
#include "recorder/sources/TestPattern.h"

namespace recorder {

// What the sessions of one server share. Everything here outlives the sessions.
struct SessionEnvironment {
  const ServerOptions* options = nullptr;
  PayloadEncoder* encoder = nullptr;
  EncodedStills* encodedStills = nullptr;
  LiveCameras* liveCameras = nullptr;
  StatusLog* log = nullptr;
  std::function<void(int milliseconds)> refuseConnections;
};

// Counters a test or the server can read while the session runs.
struct SessionCounters {
  std::atomic<std::int32_t> connectionId{-1};
  std::atomic<bool> opened{false};
  std::atomic<std::uint64_t> picturesSent{0};
  std::atomic<std::uint64_t> nextRequests{0};
  std::atomic<std::uint64_t> faultsFired{0};
  std::atomic<std::uint64_t> bytesSent{0};
};

class Session {
public:
  Session(int number, platform::SocketHandle socket, const SessionEnvironment& environment);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The thread body: serves until the viewer goes, a fault closes, or stop is requested.
  void run();
  void requestStop() { stopRequested_.store(true, std::memory_order_release); }
  bool finished() const { return finished_.load(std::memory_order_acquire); }
  const SessionCounters& counters() const { return counters_; }

private:
  using Clock = Pacer::Clock;

  bool stopping() const { return stopRequested_.load(std::memory_order_acquire); }
  bool receiveAvailable(); // false: the viewer closed or the socket failed
  bool handleRequests();   // false: close the connection
  bool handleOpen(std::int32_t connectionId);
  bool sendPicture();
  // Runs fault rules; false when one of them ends the connection.
  bool applyFaults(const std::vector<FaultRule>& rules);
  bool sendAll(const std::vector<std::uint8_t>& bytes);
  bool sendBytes(const std::uint8_t* data, std::size_t length);
  bool sendMessage(const std::vector<std::uint8_t>& message); // honours a pending "half" fault
  bool sendReply(std::int32_t code, std::int32_t parameter);
  bool pause(int milliseconds); // false when stopped meanwhile
  bool makePayload(const PictureContext& context, std::vector<std::uint8_t>& payload,
                   std::shared_ptr<const std::vector<std::uint8_t>>& shared);
  void status(const std::string& text);
  void periodicStatus(Clock::time_point now);
  std::string rateText(Clock::time_point now) const;

  const int number_;
  platform::SocketHandle socket_;
  const SessionEnvironment environment_;
  const ServerOptions& options_;

  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> finished_{false};
  SessionCounters counters_;

  protocol::RequestReader reader_;
  Pacer pacer_;
  TestPattern testPattern_;                     // describes the live pictures
  std::shared_ptr<LiveCameras::Camera> camera_; // the live camera of this connection's id
  RgbFrame frame_;
  std::vector<std::uint8_t> payload_;

  std::int32_t connectionId_ = -1;
  bool opened_ = false;
  std::uint64_t credits_ = 0; // pictures the viewer has asked for and not yet received
  bool halfNext_ = false;     // the next message goes out half, then the connection closes
  bool corruptNext_ = false;  // the next picture's field streams are damaged
  bool badItemNext_ = false;  // the next picture carries an unknown item
  std::string closeReason_ = "viewer closed";
  Clock::time_point openedAt_{};
  Clock::time_point lastStatus_{};
  std::uint64_t picturesAtLastStatus_ = 0;
};

} // namespace recorder
