#include "hosts/gateway/Gateway.h"

#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/CameraHub.h"
#include "hosts/gateway/WebServer.h"

#include <boost/asio/post.hpp>

#include <chrono>
#include <new>
#include <thread>

namespace gateway {

namespace {
constexpr auto kShutdownGrace = std::chrono::seconds(2);
} // namespace

std::string defaultWebRoot() {
#ifdef CAMVIEW_DEFAULT_WEB_ROOT
  return CAMVIEW_DEFAULT_WEB_ROOT;
#else
  return "web";
#endif
}

Gateway::Gateway(GatewayOptions options, std::ostream& log) : options_(std::move(options)), log_(log) {
  if (options_.webRoot.empty()) options_.webRoot = defaultWebRoot();
}

Gateway::~Gateway() { stop(); }

bool Gateway::start(std::string& error) {
  if (thread_.joinable()) return true;
  if (!options_.secretFile.empty() && !loadSecrets(options_.secretFile, options_.secrets, error)) return false;
  if (options_.secrets.empty() && !isLoopbackAddress(options_.listenHost)) {
    if (!options_.noAccessControl) {
      error = "listening on " + options_.listenHost +
              " lets anyone who reaches it watch every camera: give --secret-file FILE for signed links, or "
              "--no-access-control to serve without them";
      return false;
    }
    // Said at every start, quiet or not: nothing else tells the operator later.
    log_ << "camview-gateway: WARNING: no access control; anyone who reaches " << options_.listenHost
         << " may watch every camera" << std::endl;
  }
  hub_ = std::make_shared<CameraHub>(io_, options_, log_);
  server_ = std::make_unique<WebServer>(io_, options_, hub_, counters_, connections_, log_);
  if (!server_->listen(error)) {
    server_.reset();
    hub_.reset();
    return false;
  }
  port_ = server_->port();
  if (reloadSource_) {
    reload_ = std::make_unique<ConfigReload>(
        io_, options_, reloadSource_, [hub = hub_.get()](const std::string& recorder) { hub->closeRecorder(recorder); },
        log_);
    reload_->listen();
  }
  server_->startAccepting();
  try {
    thread_ = std::thread([this] {
      // A handler that runs out of memory ends with its exception: a browser's session whose
      // handler it was drops itself as the handler unwinds (ViewerSession::Hold), a camera's
      // event is lost, and the loop goes on serving everyone else.
      for (;;) {
        try {
          io_.run();
          return;
        } catch (const std::bad_alloc&) {
          counters_.allocationFailures.fetch_add(1);
        }
      }
    });
  } catch (...) {
    error = "cannot start the I/O thread";
    return false;
  }
  return true;
}

void Gateway::stop() {
  if (!thread_.joinable()) return;
  // Browsers are told the gateway is going away (1001) and get a moment to answer the close
  // frame; without it they would see the connection break (1006) and show an error.
  boost::asio::post(io_, [this] {
    if (reload_) reload_->stop();
    server_->close();
  });
  const auto end = std::chrono::steady_clock::now() + kShutdownGrace;
  while (counters_.viewers.load() > 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  io_.stop();
  thread_.join();
  // The I/O thread is gone: the hub is this thread's now. Its links' late events stay queued
  // and are dropped with the I/O context; sessions find the hub gone.
  hub_->shutdown();
  hub_.reset();
  server_.reset();
  reload_.reset();
}

void Gateway::reload() {
  if (reload_) boost::asio::post(io_, [this] { reload_->reload(); });
}

int Gateway::cameraCount() const { return hub_ ? hub_->cameraCount() : 0; }

std::uint64_t Gateway::linksStarted() const { return hub_ ? hub_->linksStarted() : 0; }

} // namespace gateway
