#pragma once
// The gateway's JPEG and MJPEG side: one CameraMedia per camera that has snapshot or MJPEG
// clients, subscribed to the CameraHub for as long as it has them, and the worker pool they
// share. I/O thread only (the pool's threads only run jobs).
#include "hosts/gateway/CameraHub.h"
#include "hosts/gateway/GatewayCounters.h"
#include "hosts/gateway/media/CameraMedia.h"
#include "hosts/gateway/media/MediaWatcher.h"
#include "hosts/gateway/media/WorkerPool.h"

#include <boost/asio/io_context.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

namespace gateway::media {

class MediaService {
public:
  MediaService(boost::asio::io_context& io, std::weak_ptr<CameraHub> hub, GatewayCounters& counters,
               int workers = WorkerPool::defaultThreads());
  ~MediaService(); // waits for the workers; the hub is gone or no longer runs by then
  MediaService(const MediaService&) = delete;
  MediaService& operator=(const MediaService&) = delete;

  using Key = std::pair<std::string, std::int32_t>;
  // Starts serving `watcher` pictures of that camera, connecting to it if needed.
  CameraHub::JoinResult watch(const Key& camera, const std::shared_ptr<MediaWatcher>& watcher);
  // The watcher leaves; the camera's media stop with its last watcher.
  void unwatch(const Key& camera, const MediaWatcher* watcher);
  // Why the camera's last picture gave no JPEG, "" when it did (or the camera is unknown).
  std::string lastFailure(const Key& camera) const;

  boost::asio::io_context& io() { return io_; }
  GatewayCounters& counters() { return counters_; }

private:
  void forget(const Key& camera, const CameraMedia* media);

  boost::asio::io_context& io_;
  std::weak_ptr<CameraHub> hub_;
  GatewayCounters& counters_;
  WorkerPool pool_;
  std::map<Key, std::shared_ptr<CameraMedia>> cameras_;
};

} // namespace gateway::media
