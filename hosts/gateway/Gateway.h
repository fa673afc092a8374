#pragma once
// camview-gateway as an object: one I/O thread serving HTTP and the browsers' WebSockets,
// and one RecorderLink per watched camera. The program (main.cpp) runs one; tests and
// benchmarks run it in-process.
#include "hosts/gateway/ConfigReload.h"
#include "hosts/gateway/ConnectionTable.h"
#include "hosts/gateway/GatewayCounters.h"
#include "hosts/gateway/GatewayOptions.h"

#include <boost/asio/io_context.hpp>

#include <memory>
#include <ostream>
#include <string>
#include <thread>

namespace gateway {

class CameraHub;
class WebServer;

class Gateway {
public:
  // Status lines go to `log` unless options.quiet.
  Gateway(GatewayOptions options, std::ostream& log);
  ~Gateway(); // stop()
  Gateway(const Gateway&) = delete;
  Gateway& operator=(const Gateway&) = delete;

  // Binds the listening address and starts serving. False with a reason.
  bool start(std::string& error);
  // Stops serving, closes every connection and recorder link, waits for every thread.
  void stop();
  // Before start(): read the settings again from `source` at every SIGHUP.
  void reloadOnHangup(ConfigReload::SettingsSource source) { reloadSource_ = std::move(source); }
  // Reads the settings again now, as SIGHUP does (the work is done on the I/O thread).
  void reload();
  // Reloads taken over, and refused for settings that could not be read.
  std::uint64_t reloadsApplied() const { return reload_ ? reload_->applied() : 0; }
  std::uint64_t reloadsRejected() const { return reload_ ? reload_->rejected() : 0; }

  int port() const { return port_; }
  const GatewayOptions& options() const { return options_; }
  const GatewayCounters& counters() const { return counters_; }
  int cameraCount() const;
  std::uint64_t linksStarted() const;

private:
  GatewayOptions options_;
  std::ostream& log_;
  GatewayCounters counters_; // outlives the I/O context, whose handlers hold sessions
  std::shared_ptr<ConnectionTable> connections_ = std::make_shared<ConnectionTable>(counters_);
  boost::asio::io_context io_{1};
  std::shared_ptr<CameraHub> hub_;
  std::unique_ptr<WebServer> server_;
  ConfigReload::SettingsSource reloadSource_;
  std::unique_ptr<ConfigReload> reload_;
  std::thread thread_;
  int port_ = 0;
};

// The web root when --web-root is not given: where the WebAssembly build puts the page's
// files.
std::string defaultWebRoot();

} // namespace gateway
