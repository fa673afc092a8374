#include "recorder/server/RecorderServer.h"

#include <chrono>

namespace recorder {
namespace {

constexpr int kAcceptPollMs = 50;

std::int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

} // namespace

RecorderServer::RecorderServer(ServerOptions options, std::ostream& statusOut)
    : options_(std::move(options)), log_(statusOut, options_.quiet),
      liveCameras_(Pacer(options_.picturesPerSecond).interval(), std::chrono::steady_clock::now(),
                   options_.loopPictures) {
  encoder_ = options_.encoder ? options_.encoder : std::shared_ptr<PayloadEncoder>(makeWaveletEncoder());
  environment_.options = &options_;
  environment_.encoder = encoder_.get();
  environment_.encodedStills = &encodedStills_;
  environment_.liveCameras = &liveCameras_;
  environment_.log = &log_;
  environment_.refuseConnections = [this](int milliseconds) { refuseFor(milliseconds); };
  if (encoder_ && !options_.stills) readyPictures_ = std::make_unique<ReadyPictures>(liveCameras_, options_, *encoder_);
}

RecorderServer::~RecorderServer() { stop(); }

bool RecorderServer::start(std::string& error) {
  if (started_.load()) {
    error = "already started";
    return false;
  }
  if (!encoder_) {
    error = "this build has no picture encoder";
    return false;
  }
  if (!platform::networkStartup()) {
    error = "cannot start the network";
    return false;
  }
  listener_ = platform::socketListen(options_.host.c_str(), options_.port);
  if (listener_ == platform::kNoSocket) {
    platform::networkCleanup();
    error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
    return false;
  }
  port_ = platform::socketLocalPort(listener_);
  listening_ = true;
  if (options_.refuseAtStartMs > 0) {
    // Closed before start returns: no connection slips in before the accept thread looks.
    refuseFor(options_.refuseAtStartMs);
    closeListener();
  }
  stopping_.store(false);
  started_.store(true);
  acceptThread_ = std::thread([this] { acceptLoop(); });
  if (readyPictures_) readyPictures_->start();
  return true;
}

void RecorderServer::stop() {
  if (!started_.exchange(false)) return;
  stopping_.store(true);
  listenerClosed_.notify_all();
  if (acceptThread_.joinable()) acceptThread_.join();
  {
    std::lock_guard<std::mutex> lock(sessionsMutex_);
    for (Running& running : sessions_) running.session->requestStop();
  }
  reapFinished(true);
  if (readyPictures_) readyPictures_->stop();
  closeListener();
  platform::networkCleanup();
}

void RecorderServer::refuseFor(int milliseconds) {
  const std::int64_t until = steadyMs() + milliseconds;
  std::int64_t current = refuseUntilMs_.load();
  while (current < until && !refuseUntilMs_.compare_exchange_weak(current, until)) {}
  log_.line("refusing connections for " + std::to_string(milliseconds) + " ms");
  if (!started_.load()) return; // start() closes the listener itself
  // The accept thread owns the listener: wait until it has closed it (within one poll).
  std::unique_lock<std::mutex> lock(listenerMutex_);
  while (listening_ && refusing() && !stopping_.load())
    listenerClosed_.wait_for(lock, std::chrono::milliseconds(kAcceptPollMs));
}

void RecorderServer::closeListener() {
  platform::socketClose(listener_);
  listener_ = platform::kNoSocket;
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listening_ = false;
  }
  listenerClosed_.notify_all();
}

bool RecorderServer::refusing() const { return steadyMs() < refuseUntilMs_.load(); }

bool RecorderServer::ensureListening() {
  if (listener_ != platform::kNoSocket) return true;
  listener_ = platform::socketListen(options_.host.c_str(), port_);
  if (listener_ == platform::kNoSocket) return false;
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listening_ = true;
  }
  log_.line("accepting connections again");
  return true;
}

std::uint64_t RecorderServer::picturesSent() const {
  std::lock_guard<std::mutex> lock(sessionsMutex_);
  std::uint64_t total = picturesOfFinished_.load();
  for (const Running& running : sessions_) total += running.session->counters().picturesSent.load();
  return total;
}

int RecorderServer::activeSessions() const {
  std::lock_guard<std::mutex> lock(sessionsMutex_);
  int count = 0;
  for (const Running& running : sessions_) count += running.session->finished() ? 0 : 1;
  return count;
}

void RecorderServer::reapFinished(bool all) {
  std::list<Running> done;
  {
    std::lock_guard<std::mutex> lock(sessionsMutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      if (all || it->session->finished()) {
        picturesOfFinished_.fetch_add(it->session->counters().picturesSent.load());
        done.splice(done.end(), sessions_, it++);
      } else {
        ++it;
      }
    }
  }
  for (Running& running : done) running.thread.join();
}

void RecorderServer::acceptLoop() {
  while (!stopping_.load()) {
    reapFinished(false);
    if (refusing()) {
      // A closed listener makes connection attempts fail at once, as with a recorder that is down.
      if (listener_ != platform::kNoSocket) closeListener();
      std::this_thread::sleep_for(std::chrono::milliseconds(kAcceptPollMs));
      continue;
    }
    if (!ensureListening()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kAcceptPollMs));
      continue;
    }
    if (platform::socketWaitReadable(listener_, kAcceptPollMs) != 1) continue;
    const platform::SocketHandle socket = platform::socketAccept(listener_);
    if (socket == platform::kNoSocket) continue;
    if (activeSessions() >= options_.maxViewers) {
      refused_.fetch_add(1);
      log_.line("too many viewers (" + std::to_string(options_.maxViewers) + "), connection closed");
      platform::socketClose(socket);
      continue;
    }
    accepted_.fetch_add(1);
    std::lock_guard<std::mutex> lock(sessionsMutex_);
    Running& running = sessions_.emplace_back();
    running.session = std::make_unique<Session>(nextNumber_++, socket, environment_);
    Session* session = running.session.get();
    running.thread = std::thread([session] { session->run(); });
  }
}

} // namespace recorder
