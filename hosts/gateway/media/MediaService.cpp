#include "hosts/gateway/media/MediaService.h"

namespace gateway::media {

MediaService::MediaService(boost::asio::io_context& io, std::weak_ptr<CameraHub> hub, GatewayCounters& counters,
                           int workers)
    : io_(io), hub_(std::move(hub)), counters_(counters), pool_(workers) {}

MediaService::~MediaService() {
  if (auto hub = hub_.lock())
    for (auto& [key, media] : cameras_) hub->unsubscribe(media.get());
}

CameraHub::JoinResult MediaService::watch(const Key& camera, const std::shared_ptr<MediaWatcher>& watcher) {
  auto hub = hub_.lock();
  if (!hub) return CameraHub::JoinResult::LinkNotStarted;
  auto found = cameras_.find(camera);
  if (found == cameras_.end()) {
    // The camera asks to be forgotten when its recorder connection broke.
    auto media = std::make_shared<CameraMedia>(io_, pool_, counters_,
                                               [this, camera](const CameraMedia* ended) { forget(camera, ended); });
    found = cameras_.emplace(camera, media).first;
    media->add(watcher);
    const CameraHub::JoinResult joined = hub->subscribe(media.get(), camera.first, camera.second);
    if (joined != CameraHub::JoinResult::Joined) {
      media->remove(watcher.get());
      cameras_.erase(camera);
    }
    return joined;
  }
  found->second->add(watcher);
  return CameraHub::JoinResult::Joined;
}

void MediaService::unwatch(const Key& camera, const MediaWatcher* watcher) {
  auto found = cameras_.find(camera);
  if (found == cameras_.end()) return;
  found->second->remove(watcher);
  if (!found->second->idle()) return;
  if (auto hub = hub_.lock()) hub->unsubscribe(found->second.get());
  cameras_.erase(found); // a job still running keeps the camera's work alive until it ends
}

void MediaService::forget(const Key& camera, const CameraMedia* media) {
  auto found = cameras_.find(camera);
  if (found == cameras_.end() || found->second.get() != media) return;
  if (auto hub = hub_.lock()) hub->unsubscribe(found->second.get());
  cameras_.erase(found);
}

std::string MediaService::lastFailure(const Key& camera) const {
  auto found = cameras_.find(camera);
  return found == cameras_.end() ? std::string() : found->second->lastFailure();
}

} // namespace gateway::media
