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
                                                  PayloadEncoder& encoder, const EncodeSettings& settings,
                                                  std::string& error) {
  const Clock::duration running = now - owner_.start_;
  const std::int64_t period = owner_.period_ > Clock::duration::zero() ? running / owner_.period_ : -1;
  std::lock_guard<std::mutex> lock(mutex_);
  if (owner_.loopLength_ > 0) return loopPicture(period, std::move(context), frame, encoder, settings, error);
  if (period >= 0 && period == period_ && payload_) return payload_;
  const auto elapsedMs =
      static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(running).count());
  Payload payload = render(made_, elapsedMs, std::move(context), frame, encoder, settings, error);
  if (!payload) return nullptr;
  payload_ = std::move(payload);
  period_ = period;
  return payload_;
}

LiveCameras::Payload LiveCameras::Camera::loopPicture(std::int64_t period, PictureContext context, RgbFrame& frame,
                                                      PayloadEncoder& encoder, const EncodeSettings& settings,
                                                      std::string& error) {
  const auto length = static_cast<std::size_t>(owner_.loopLength_);
  if (loop_.size() < length) {
    // The pictures of consecutive periods (25 per second without a rate limit), so the loop
    // moves as the live pattern does.
    const std::int64_t stepMs = owner_.period_ > Clock::duration::zero()
                                    ? std::chrono::duration_cast<std::chrono::milliseconds>(owner_.period_).count()
                                    : 40;
    loop_.clear();
    for (std::size_t i = 0; i < length; ++i) {
      Payload payload =
          render(i, static_cast<std::uint32_t>(std::int64_t(i) * stepMs), context, frame, encoder, settings, error);
      if (!payload) {
        loop_.clear();
        return nullptr;
      }
      loop_.push_back(std::move(payload));
    }
  }
  const std::uint64_t index = period >= 0 ? std::uint64_t(period) : served_++;
  return loop_[index % length];
}

LiveCameras::Payload LiveCameras::Camera::render(std::uint64_t number, std::uint32_t elapsedMs, PictureContext context,
                                                 RgbFrame& frame, PayloadEncoder& encoder,
                                                 const EncodeSettings& settings, std::string& error) {
  context.connectionId = connectionId_;
  context.pictureNumber = number;
  context.elapsedMs = elapsedMs;
  if (!pattern_.render(context, frame)) {
    error = "the test pattern cannot draw a " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
            " picture";
    return nullptr;
  }
  auto payload = std::make_shared<std::vector<std::uint8_t>>();
  if (!encoder.encode(frame, settings, *payload, error)) return nullptr;
  ++made_;
  return payload;
}

std::uint64_t LiveCameras::Camera::picturesMade() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return made_;
}

} // namespace recorder
