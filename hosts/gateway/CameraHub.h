#pragma once
// The cameras browsers watch: for each (recorder, connection id) with at least one watching
// browser, one RecorderLink, whatever the number of browsers. Pictures and control messages
// from the link are handed to every subscriber; a browser that joins late first gets the
// recorder's last "connection established" reply and text table, so that it shows the same
// diagnostics and texts as the others. A camera nobody watches any more keeps its link for
// a linger time (a reloaded page finds it still connected), then retires it; a lingering
// camera is also the first to go when a camera that is asked for needs its slot.
//
// Everything here runs on the gateway's I/O thread, the links' events too.
#include "hosts/gateway/GatewayOptions.h"
#include "hosts/gateway/RecorderLink.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>

namespace gateway {

// A browser's side of a camera (a WebSocket session).
class Subscriber {
public:
  virtual ~Subscriber() = default;
  // A reply that is not a picture: send it, in order.
  virtual void sendControl(const SharedBytes& message) = 0;
  // The camera's newest picture; `sequence` grows with every picture of the camera.
  virtual void offerPicture(const SharedBytes& message, std::uint64_t sequence) = 0;
  // The recorder connection broke: the browser is to see its connection break too.
  virtual void upstreamLost() = 0;
  // The recorder was taken out of the settings, or moved: the camera goes.
  virtual void recorderRemoved() { upstreamLost(); }
};

class CameraHub {
public:
  CameraHub(boost::asio::io_context& io, const GatewayOptions& options, std::ostream& log);
  ~CameraHub(); // shutdown()

  // LinkNotStarted: the recorder connection could not begin (no memory, or the hub is shutting down).
  enum class JoinResult { Joined, UnknownRecorder, TooManyCameras, LinkNotStarted };
  JoinResult subscribe(Subscriber* subscriber, const std::string& recorder, std::int32_t connectionId);
  void unsubscribe(Subscriber* subscriber);
  // The recorder is gone from the settings or has moved: its subscribers are told, its
  // cameras retired at once.
  void closeRecorder(const std::string& recorder);
  // Retires every camera (on the I/O thread, or after it has stopped).
  void shutdown();

  int cameraCount() const { return cameraCount_.load(std::memory_order_acquire); }
  std::uint64_t linksStarted() const { return linksStarted_.load(std::memory_order_acquire); }
  std::uint64_t recorderLosses() const { return recorderLosses_.load(std::memory_order_acquire); }

private:
  using Key = std::pair<std::string, std::int32_t>;
  struct Camera {
    std::uint64_t generation = 0; // tells the events of this link from those of a retired one
    std::unique_ptr<RecorderLink> link;
    std::set<Subscriber*> subscribers;
    SharedBytes established; // last reply with code 5 while connected
    SharedBytes language;    // last reply with a "LANG" item
    SharedBytes picture;
    std::uint64_t sequence = 0;
    std::unique_ptr<boost::asio::steady_timer> linger;
    std::chrono::steady_clock::time_point unwatchedSince;
  };

  LinkEvents eventsFor(const Key& key, std::uint64_t generation);
  void onControl(const Key& key, std::uint64_t generation, const SharedBytes& message, std::int32_t replyCode);
  void onPicture(const Key& key, std::uint64_t generation, const SharedBytes& message);
  void onLost(const Key& key, std::uint64_t generation);
  void onEnded(const Key& key, std::uint64_t generation);
  Camera* find(const Key& key, std::uint64_t generation);
  void startLinger(const Key& key);
  void retire(std::map<Key, Camera>::iterator camera);
  // Retires the camera unwatched longest, to make room; false when every camera is watched.
  bool retireOneLingering();

  boost::asio::io_context& io_;
  const GatewayOptions& options_;
  std::ostream& log_;
  std::map<Key, Camera> cameras_;
  std::map<Subscriber*, Key> watching_;
  std::uint64_t nextGeneration_ = 1;
  std::atomic<int> cameraCount_{0};
  std::atomic<std::uint64_t> linksStarted_{0};
  std::atomic<std::uint64_t> recorderLosses_{0};
};

} // namespace gateway
