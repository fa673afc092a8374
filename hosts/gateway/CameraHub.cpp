#include "hosts/gateway/CameraHub.h"

#include "engine/Protocol.h"
#include "engine/TaggedMessage.h"

#include <vector>

namespace gateway {

namespace {

bool carriesLanguage(const SharedBytes& message) {
  CTaggedMessage parser;
  protocol::defineMessage(parser);
  const auto total = static_cast<std::int32_t>(message->size());
  if (!parser.parseHeader(message->data(), total) || !parser.parseItems(message->data(), total)) return false;
  for (std::int32_t i = 0; i < parser.itemCount(); ++i)
    if (parser.item(i).id == protocol::kItemLang) return true;
  return false;
}

} // namespace

CameraHub::CameraHub(boost::asio::io_context& io, const GatewayOptions& options, std::ostream& log)
    : io_(io), options_(options), log_(log) {}

CameraHub::~CameraHub() { shutdown(); }

LinkEvents CameraHub::eventsFor(const Key& key, std::uint64_t generation) {
  // The links run on this thread: their events come straight in. The handlers still drop
  // the events of a link that is no longer the camera's.
  LinkEvents events;
  events.control = [this, key, generation](SharedBytes message, std::int32_t code) {
    onControl(key, generation, message, code);
  };
  events.picture = [this, key, generation](SharedBytes message) { onPicture(key, generation, message); };
  events.lost = [this, key, generation] { onLost(key, generation); };
  events.ended = [this, key, generation] { onEnded(key, generation); };
  return events;
}

CameraHub::JoinResult CameraHub::subscribe(Subscriber* subscriber, const std::string& recorder,
                                           std::int32_t connectionId) {
  const RecorderAddress* address = findRecorder(options_, recorder);
  if (!address) return JoinResult::UnknownRecorder;
  unsubscribe(subscriber);
  const Key key{recorder, connectionId};
  auto found = cameras_.find(key);
  if (found == cameras_.end()) {
    if (int(cameras_.size()) >= options_.maxCameras && !retireOneLingering()) return JoinResult::TooManyCameras;
    const std::uint64_t generation = nextGeneration_++;
    auto link = std::make_unique<RecorderLink>(io_, *address, connectionId, eventsFor(key, generation));
    if (!link->start()) return JoinResult::LinkNotStarted;
    found = cameras_.emplace(key, Camera{}).first;
    found->second.generation = generation;
    found->second.link = std::move(link);
    linksStarted_.fetch_add(1, std::memory_order_acq_rel);
    cameraCount_.store(int(cameras_.size()), std::memory_order_release);
    if (!options_.quiet)
      log_ << "camera " << recorder << "/" << connectionId << ": connecting to " << address->host << ":"
           << address->port << std::endl;
  }
  Camera& camera = found->second;
  if (camera.linger) {
    camera.linger->cancel();
    camera.linger.reset();
  }
  // Noted as watching first: should the camera's set have no memory for it, unsubscribe
  // still finds the camera, and no camera keeps a browser that has gone.
  watching_[subscriber] = key;
  camera.subscribers.insert(subscriber);
  if (camera.established) subscriber->sendControl(camera.established);
  if (camera.language && camera.language != camera.established) subscriber->sendControl(camera.language);
  if (camera.picture) subscriber->offerPicture(camera.picture, camera.sequence);
  return JoinResult::Joined;
}

void CameraHub::unsubscribe(Subscriber* subscriber) {
  auto watching = watching_.find(subscriber);
  if (watching == watching_.end()) return;
  const Key key = watching->second;
  watching_.erase(watching);
  auto camera = cameras_.find(key);
  if (camera == cameras_.end()) return;
  camera->second.subscribers.erase(subscriber);
  if (camera->second.subscribers.empty()) {
    camera->second.unwatchedSince = std::chrono::steady_clock::now();
    startLinger(key);
  }
}

void CameraHub::closeRecorder(const std::string& recorder) {
  std::vector<Key> keys;
  for (const auto& [key, camera] : cameras_)
    if (key.first == recorder) keys.push_back(key);
  for (const Key& key : keys) {
    auto camera = cameras_.find(key);
    if (camera == cameras_.end()) continue;
    // A subscriber that leaves may retire the camera itself (no linger): look it up again.
    for (Subscriber* subscriber : std::set<Subscriber*>(camera->second.subscribers)) subscriber->recorderRemoved();
    camera = cameras_.find(key);
    if (camera != cameras_.end()) retire(camera);
  }
}

void CameraHub::startLinger(const Key& key) {
  auto camera = cameras_.find(key);
  if (camera == cameras_.end()) return;
  if (options_.lingerMs == 0) {
    retire(camera);
    return;
  }
  camera->second.linger = std::make_unique<boost::asio::steady_timer>(io_);
  camera->second.linger->expires_after(std::chrono::milliseconds(options_.lingerMs));
  const std::uint64_t generation = camera->second.generation;
  camera->second.linger->async_wait([this, key, generation](const boost::system::error_code& error) {
    if (error) return; // cancelled: someone watches again
    auto camera = cameras_.find(key);
    if (camera != cameras_.end() && camera->second.generation == generation && camera->second.subscribers.empty())
      retire(camera);
  });
}

bool CameraHub::retireOneLingering() {
  // A camera nobody watches is kept only in case someone comes back: a camera asked for now
  // goes first. The one unwatched longest goes.
  auto oldest = cameras_.end();
  for (auto camera = cameras_.begin(); camera != cameras_.end(); ++camera)
    if (camera->second.subscribers.empty() &&
        (oldest == cameras_.end() || camera->second.unwatchedSince < oldest->second.unwatchedSince))
      oldest = camera;
  if (oldest == cameras_.end()) return false;
  retire(oldest);
  return true;
}

void CameraHub::retire(std::map<Key, Camera>::iterator camera) {
  if (!options_.quiet)
    log_ << "camera " << camera->first.first << "/" << camera->first.second << ": closed" << std::endl;
  for (Subscriber* subscriber : camera->second.subscribers) watching_.erase(subscriber);
  camera->second.link->retire();
  if (camera->second.linger) camera->second.linger->cancel();
  cameras_.erase(camera);
  cameraCount_.store(int(cameras_.size()), std::memory_order_release);
}

void CameraHub::shutdown() {
  for (auto camera = cameras_.begin(); camera != cameras_.end();) retire(camera++);
  watching_.clear();
}

void CameraHub::onEnded(const Key& key, std::uint64_t generation) {
  // A link ends by itself when no socket can be made or no memory is left for a reply.
  Camera* camera = find(key, generation);
  if (!camera) return;
  if (!options_.quiet) log_ << "camera " << key.first << "/" << key.second << ": link ended" << std::endl;
  for (Subscriber* subscriber : std::set<Subscriber*>(camera->subscribers)) subscriber->upstreamLost();
  auto it = cameras_.find(key);
  if (it != cameras_.end() && it->second.generation == generation) retire(it);
}

CameraHub::Camera* CameraHub::find(const Key& key, std::uint64_t generation) {
  auto camera = cameras_.find(key);
  if (camera == cameras_.end() || camera->second.generation != generation) return nullptr;
  return &camera->second;
}

void CameraHub::onControl(const Key& key, std::uint64_t generation, const SharedBytes& message,
                          std::int32_t replyCode) {
  Camera* camera = find(key, generation);
  if (!camera) return;
  if (replyCode == protocol::kReplyEstablished) camera->established = message;
  if (replyCode == protocol::kReplyEnd) {
    camera->established.reset();
    camera->picture.reset();
  }
  if (carriesLanguage(message)) camera->language = message;
  for (Subscriber* subscriber : std::set<Subscriber*>(camera->subscribers)) subscriber->sendControl(message);
}

void CameraHub::onPicture(const Key& key, std::uint64_t generation, const SharedBytes& message) {
  Camera* camera = find(key, generation);
  if (!camera) return;
  camera->picture = message;
  ++camera->sequence;
  for (Subscriber* subscriber : std::set<Subscriber*>(camera->subscribers))
    subscriber->offerPicture(message, camera->sequence);
}

void CameraHub::onLost(const Key& key, std::uint64_t generation) {
  Camera* camera = find(key, generation);
  if (!camera) return;
  recorderLosses_.fetch_add(1, std::memory_order_acq_rel);
  if (!options_.quiet) log_ << "camera " << key.first << "/" << key.second << ": recorder connection lost" << std::endl;
  camera->established.reset();
  camera->picture.reset();
  for (Subscriber* subscriber : std::set<Subscriber*>(camera->subscribers)) subscriber->upstreamLost();
}

} // namespace gateway
