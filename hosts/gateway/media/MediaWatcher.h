#pragma once
// A client of a camera's JPEGs (a snapshot request waiting for its picture, an MJPEG stream).
// Called on the gateway's I/O thread only.
#include "hosts/gateway/media/MediaQuery.h"
#include "hosts/gateway/media/PictureRenderer.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace gateway::media {

using Clock = std::chrono::steady_clock;

class MediaWatcher {
public:
  virtual ~MediaWatcher() = default;
  virtual RenderSpec spec() const = 0;
  // Whether the camera's picture number `sequence` is to be made for this watcher now (it
  // has not had it, and its rate cap lets it take one).
  virtual bool wants(std::uint64_t sequence, Clock::time_point now) const = 0;
  virtual void take(const JpegBytes& jpeg, std::uint64_t sequence, Clock::time_point now) = 0;
  // The camera serves no more pictures (its recorder connection broke, the gateway stops).
  virtual void cameraLost(const std::string& reason) = 0;
};

} // namespace gateway::media
