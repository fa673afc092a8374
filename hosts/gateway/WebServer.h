#pragma once
// The gateway's HTTP side: accepts connections up to the limits (in total, per client), serves the camera page and
// its files, and hands WebSocket upgrades for /camera/NAME/ID to viewer sessions. Requests are
// read with fixed limits (header size, no request bodies, a read time-out); anything else
// gets a plain-text error that says what was wrong.
#include "hosts/gateway/CameraHub.h"
#include "hosts/gateway/ConnectionTable.h"
#include "hosts/gateway/ForwardedHeaders.h"
#include "hosts/gateway/GatewayCounters.h"
#include "hosts/gateway/GatewayOptions.h"
#include "hosts/gateway/HostRules.h"
#include "hosts/gateway/StaticFiles.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace gateway {

namespace media {
class MediaService;
}
class ViewerSession;

constexpr std::size_t kMaxHeaderBytes = 8192;

class WebServer {
public:
  WebServer(boost::asio::io_context& io, const GatewayOptions& options, std::weak_ptr<CameraHub> hub,
            GatewayCounters& counters, std::shared_ptr<ConnectionTable> connections, std::ostream& log);

  // Binds and listens. False with a reason.
  bool listen(std::string& error);
  void startAccepting();
  // Stops accepting and closes every WebSocket with 1001, "going away" (I/O thread).
  void close();
  int port() const { return port_; }

private:
  void accept();

  boost::asio::io_context& io_;
  const GatewayOptions& options_;
  std::weak_ptr<CameraHub> hub_;
  GatewayCounters& counters_;
  std::shared_ptr<ConnectionTable> connections_;
  std::ostream& log_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer backoff_; // accepting again after running out of descriptors
  int port_ = 0;
  std::shared_ptr<media::MediaService> media_; // snapshots and MJPEG streams
  std::optional<HostRules> rules_;             // known once the port is
  TrustedProxies proxies_;
  StaticFiles files_;
  // The WebSocket sessions started, to be closed at shutdown (expired ones pruned as it grows).
  std::vector<std::weak_ptr<ViewerSession>> sessions_;
};

} // namespace gateway
