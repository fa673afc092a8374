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

std::int64_t LiveCameras::Camera::periodOf(Clock::time_point now) const {
  return owner_.period_ > Clock::duration::zero() ? (now - owner_.start_) / owner_.period_ : -1;
}

LiveCameras::Payload LiveCameras::Camera::picture(Clock::time_point now, PictureContext context, RgbFrame& frame,
                                                  PayloadEncoder& encoder, const EncodeSettings& settings,
                                                  std::string& error, Clock::duration acceptAge) {
  const std::int64_t period = periodOf(now);
  std::lock_guard<std::mutex> lock(mutex_);
  if (owner_.looping()) return loopPicture(period, std::move(context), frame, encoder, settings, error);
  if (payload_ && period >= 0 && period == period_) return payload_;
  if (payload_ && acceptAge > Clock::duration::zero() && now - madeAt_ <= acceptAge) return payload_;
  return makeLatest(now, period, std::move(context), frame, encoder, settings, error);
}

bool LiveCameras::Camera::renew(Clock::time_point now, Clock::duration maxAge, PictureContext context, RgbFrame& frame,
                                PayloadEncoder& encoder, const EncodeSettings& settings, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (owner_.looping()) return false; // a loop is made once, when first asked
  if (payload_ && now - madeAt_ <= maxAge) return false;
  return makeLatest(now, periodOf(now), std::move(context), frame, encoder, settings, error) != nullptr;
}

LiveCameras::Payload LiveCameras::Camera::makeLatest(Clock::time_point now, std::int64_t period, PictureContext context,
                                                     RgbFrame& frame, PayloadEncoder& encoder,
                                                     const EncodeSettings& settings, std::string& error) {
  const auto elapsedMs =
      static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now - owner_.start_).count());
  Payload payload = render(made_, elapsedMs, std::move(context), frame, encoder, settings, error);
  if (!payload) return nullptr;
  payload_ = std::move(payload);
  period_ = period;
  madeAt_ = now;
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

std::string cameraName(const std::string& pattern, std::int32_t connectionId) {
  std::string name;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd') {
      name += std::to_string(connectionId);
      ++i;
    } else {
      name += pattern[i];
    }
  }
  return name;
}

} // namespace recorder
