#include "hosts/gateway/media/CameraMedia.h"

#include "engine/Protocol.h"
#include "engine/TaggedMessage.h"

#include <boost/asio/post.hpp>

#include <algorithm>

namespace gateway::media {

CameraMedia::CameraMedia(boost::asio::io_context& io, WorkerPool& pool, GatewayCounters& counters,
                         std::function<void(const CameraMedia*)> ended)
    : io_(io), pool_(pool), counters_(counters), ended_(std::move(ended)) {}

CameraMedia::~CameraMedia() = default;

void CameraMedia::add(const std::shared_ptr<MediaWatcher>& watcher) {
  watchers_.push_back(watcher);
  // A camera that already has a picture serves the newcomer from it.
  serve();
}

void CameraMedia::remove(const MediaWatcher* watcher) {
  std::erase_if(watchers_, [watcher](const std::weak_ptr<MediaWatcher>& weak) {
    auto held = weak.lock();
    return !held || held.get() == watcher;
  });
}

void CameraMedia::sendControl(const SharedBytes& message) {
  // Only the recorder's text table matters here: the overlay's labels.
  CTaggedMessage parser;
  protocol::defineMessage(parser);
  const auto total = static_cast<std::int32_t>(std::min<std::size_t>(message->size(), INT32_MAX));
  if (!parser.parseHeader(message->data(), total) || !parser.parseItems(message->data(), total)) return;
  for (std::int32_t i = 0; i < parser.itemCount(); ++i) {
    const CTaggedMessage::ItemEntry& item = parser.item(i);
    if (item.id == protocol::kItemLang) language_.install(message->data() + item.dataOffset, item.dataLength);
  }
}

void CameraMedia::offerPicture(const SharedBytes& message, std::uint64_t sequence) {
  picture_ = message;
  sequence_ = sequence;
  serve();
}

void CameraMedia::upstreamLost() {
  auto self = shared_from_this();
  loseAll("the recorder connection was lost");
  if (ended_) ended_(this);
}

void CameraMedia::loseAll(const std::string& reason) {
  auto self = shared_from_this();
  std::vector<std::weak_ptr<MediaWatcher>> watchers;
  watchers.swap(watchers_);
  for (const auto& weak : watchers)
    if (auto watcher = weak.lock()) watcher->cameraLost(reason);
  picture_.reset();
  cache_.clear();
  cachedSequence_ = 0;
}

void CameraMedia::deliverCached(Clock::time_point now) {
  if (cachedSequence_ == 0) return;
  // A copy: a watcher that has what it wanted may leave at once.
  const std::vector<std::weak_ptr<MediaWatcher>> watchers = watchers_;
  for (const auto& weak : watchers) {
    auto watcher = weak.lock();
    if (!watcher || !watcher->wants(cachedSequence_, now)) continue;
    auto cached = cache_.find(watcher->spec());
    if (cached != cache_.end() && cached->second) watcher->take(cached->second, cachedSequence_, now);
  }
}

void CameraMedia::serve() {
  auto self = shared_from_this(); // a watcher served may take the last reference with it
  const Clock::time_point now = Clock::now();
  deliverCached(now);
  if (!picture_ || working_) return;
  auto job = std::make_shared<Job>();
  for (const auto& weak : watchers_) {
    auto watcher = weak.lock();
    if (!watcher || !watcher->wants(sequence_, now)) continue;
    const RenderSpec spec = watcher->spec();
    if (cachedSequence_ == sequence_ && cache_.count(spec)) continue; // made (or failed) already
    if (std::find(job->specs.begin(), job->specs.end(), spec) == job->specs.end()) job->specs.push_back(spec);
  }
  if (job->specs.empty()) return; // nobody waits: nothing is decoded
  job->picture = picture_;
  job->sequence = sequence_;
  working_ = true;
  if (!pool_.post([self, job] { self->work(job); })) {
    working_ = false;
    failure_ = "no worker thread";
  }
}

void CameraMedia::work(const std::shared_ptr<Job>& job) {
  const std::uint64_t before = renderer_.encodes();
  try {
    job->ok = renderer_.render(job->picture->data(), job->picture->size(), job->specs, job->jpegs, job->failure);
  } catch (...) {
    job->ok = false;
    job->failure = "no memory for the picture";
    job->jpegs.assign(job->specs.size(), nullptr);
  }
  counters_.mediaEncodes.fetch_add(renderer_.encodes() - before, std::memory_order_relaxed);
  auto self = shared_from_this();
  boost::asio::post(io_, [self, job] { self->finished(job); });
}

void CameraMedia::finished(const std::shared_ptr<Job>& job) {
  working_ = false;
  if (job->sequence != cachedSequence_) {
    cache_.clear();
    cachedSequence_ = job->sequence;
  }
  for (std::size_t i = 0; i < job->specs.size() && i < job->jpegs.size(); ++i) cache_[job->specs[i]] = job->jpegs[i];
  failure_ = job->ok ? std::string() : job->failure;
  serve();
}

} // namespace gateway::media
