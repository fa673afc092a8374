#include "recorder/server/LiveCameras.h"

namespace recorder {

std::shared_ptr<LiveCameras::Camera> LiveCameras::camera(std::int32_t connectionId) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Cameras nobody watches are forgotten, so ids from outside cannot pile up.
  for (auto it = cameras_.begin(); it != cameras_.end();)
    it = it->second.expired() ? cameras_.erase(it) : std::next(it);
  std::shared_ptr<Camera> camera = cameras_[connectionId].lock();
  if (!camera) {
    camera = std::make_shared<Camera>(connectionId, *this);
    cameras_[connectionId] = camera;
  }
  return camera;
}

LiveCameras::Payload LiveCameras::Camera::picture(Clock::time_point now, PictureContext context, RgbFrame& frame,
                                                  PictureEncoder& encoder, const EncodeSettings& settings,
                                                  std::string& error) {
  const Clock::duration running = now - owner_.start_;
  const std::int64_t period = owner_.period_ > Clock::duration::zero() ? running / owner_.period_ : -1;
  std::lock_guard<std::mutex> lock(mutex_);
  if (period >= 0 && period == period_ && payload_) return payload_;
  context.connectionId = connectionId_;
  context.pictureNumber = made_;
  context.elapsedMs =
      static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(running).count());
  if (!pattern_.render(context, frame)) {
    error = "the test pattern cannot draw a " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
            " picture";
    return nullptr;
  }
  auto payload = std::make_shared<std::vector<std::uint8_t>>();
  if (!encoder.encode(frame, settings, *payload, error)) return nullptr;
  payload_ = std::move(payload);
  period_ = period;
  ++made_;
  return payload_;
}

std::uint64_t LiveCameras::Camera::picturesMade() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return made_;
}

} // namespace recorder
