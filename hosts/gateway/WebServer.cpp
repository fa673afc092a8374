#include "hosts/gateway/WebServer.h"

#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/HostRules.h"
#include "hosts/gateway/Metrics.h"
#include "hosts/gateway/PageRequest.h"
#include "hosts/gateway/ViewerSession.h"
#include "hosts/gateway/media/MediaResponder.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <ctime>
#include <limits>
#include <optional>

namespace gateway {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

namespace {

using Response = http::response<http::string_body>;

std::string_view view(beast::string_view text) { return {text.data(), text.size()}; }

// Whether a signed link lets this request watch `recorder` (every id of `ids`; none: the
// recorder only, the ids are checked when the WebSocket names its camera). Counts refusals.
struct AccessDecision {
  bool allowed = true;
  http::status status = http::status::ok;
  std::string reason;
  std::optional<AccessGrant> grant; // set when access is controlled and allowed
};

// Whether the token is a valid signed link (always allowed when access is not controlled).
AccessDecision checkToken(const GatewayOptions& options, GatewayCounters& counters, std::string_view token) {
  AccessDecision decision;
  if (options.secrets.empty()) return decision; // loopback without a secret file, or --no-access-control
  AccessGrant grant;
  const TokenCheck check = verifyToken(token, options.secrets, std::int64_t(std::time(nullptr)), grant);
  if (check != TokenCheck::Valid) {
    (check == TokenCheck::Missing     ? counters.tokenMissing
     : check == TokenCheck::Malformed ? counters.tokenMalformed
     : check == TokenCheck::Forged    ? counters.tokenForged
                                      : counters.tokenExpired)
        .fetch_add(1);
    decision.allowed = false;
    decision.status = http::status::unauthorized;
    decision.reason = std::string(tokenCheckText(check)) + "\n";
    return decision;
  }
  decision.grant = std::move(grant);
  return decision;
}

AccessDecision refuseOtherCameras(GatewayCounters& counters, const char* reason) {
  counters.tokenOtherCamera.fetch_add(1);
  AccessDecision decision;
  decision.allowed = false;
  decision.status = http::status::forbidden;
  decision.reason = reason;
  return decision;
}

AccessDecision decideAccess(const GatewayOptions& options, GatewayCounters& counters, std::string_view token,
                            const std::string& recorder, const std::vector<std::int32_t>& ids) {
  AccessDecision decision = checkToken(options, counters, token);
  if (!decision.grant) return decision;
  bool allowed = decision.grant->recorder == recorder;
  for (std::int32_t id : ids) allowed = allowed && decision.grant->allows(recorder, id);
  if (!allowed) return refuseOtherCameras(counters, "the link does not allow these cameras\n");
  return decision;
}

// Every value of a header that may be repeated, joined with commas in their order (as a list
// header means), within the request head's own bound.
std::string joinedField(const http::request<http::string_body>& request, std::string_view name) {
  std::string joined;
  for (auto [field, end] = request.equal_range(beast::string_view(name.data(), name.size())); field != end; ++field) {
    if (!joined.empty()) joined += ',';
    joined += view(field->value());
  }
  return joined;
}

// The connection-table entry of a trusted proxy's connections while their client is unknown:
// not a client address, so it never takes a client's slots.
std::string proxyEntry(const boost::asio::ip::address& proxy) { return "via " + proxy.to_string(); }

std::string_view queryValue(const Target& target, std::string_view name) {
  for (const auto& [key, value] : target.query)
    if (key == name) return value;
  return {};
}

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
  HttpSession(tcp::socket&& socket, const boost::asio::ip::address& peer, const GatewayOptions& options,
              const HostRules& rules, const TrustedProxies& proxies, const StaticFiles& files,
              std::vector<std::weak_ptr<ViewerSession>>& sessions, std::weak_ptr<CameraHub> hub,
              std::weak_ptr<media::MediaService> media, GatewayCounters& counters, std::optional<ConnectionSlot> slot)
      : stream_(std::move(socket)), peer_(peer), options_(options), rules_(rules), proxies_(proxies), files_(files),
        sessions_(sessions), hub_(std::move(hub)), media_(std::move(media)), counters_(counters),
        slot_(std::move(slot)) {
    client_.address = peer;
  }

  void run() { read(); }

  // Over a connection limit: one answer, then the connection is closed.
  void refuse(ConnectionTable::Admission why) {
    if (why == ConnectionTable::Admission::ClientFull) {
      counters_.refusedClient.fetch_add(1);
      return send(refusal(http::status::too_many_requests, "too many connections from your address\n"));
    }
    counters_.refused.fetch_add(1);
    send(refusal(http::status::service_unavailable, "too many connections, try again later\n"));
  }

private:
  void read() {
    parser_.emplace();
    parser_->header_limit(kMaxHeaderBytes);
    parser_->body_limit(0);
    stream_.expires_after(std::chrono::milliseconds(options_.requestTimeoutMs));
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) { self->onRead(error); });
  }

  void onRead(beast::error_code error) {
    if (error == beast::error::timeout) {
      counters_.requestTimeouts.fetch_add(1);
      return shutdown();
    }
    if (error == http::error::end_of_stream) return shutdown();
    if (error == http::error::header_limit)
      return send(refusal(http::status::request_header_fields_too_large, "request header too large\n"));
    if (error == http::error::body_limit)
      return send(refusal(http::status::payload_too_large, "requests carry no body here\n"));
    if (error == http::error::buffer_overflow)
      return send(refusal(http::status::request_header_fields_too_large, "request too large\n"));
    if (error) {
      // A request that is not HTTP: say so if the socket still takes it.
      if (error.category() == http::make_error_code(http::error::bad_method).category())
        return send(refusal(http::status::bad_request, "malformed request\n"));
      return shutdown();
    }
    http::request<http::string_body> request = parser_->release();
    if (!knowClient(request)) return;
    // Before any page, file or WebSocket: a name that is not the gateway's is a rebinding.
    if (!rules_.hostAllowed(view(request[http::field::host]))) {
      counters_.refusedHost.fetch_add(1);
      return send(refusal(http::status::misdirected_request, "this gateway does not answer to that host name\n"));
    }
    if (beast::websocket::is_upgrade(request)) return upgrade(std::move(request));
    if (media::isMediaRequest(view(request.target()))) return serveMedia(std::move(request));
    send(answer(request));
  }

  // Who sent the request: the peer, or the client a trusted proxy names. A proxied connection
  // is counted for its client from now on, under the client's own limit. False when that
  // limit is reached (the client has been told).
  bool knowClient(const http::request<http::string_body>& request) {
    if (proxies_.empty()) return true;
    client_ =
        proxies_.resolve(peer_, joinedField(request, "X-Forwarded-For"), joinedField(request, "X-Forwarded-Proto"));
    if (client_.malformed) counters_.forwardedMalformed.fetch_add(1);
    if (!client_.viaProxy || !slot_ || slot_->recount(client_.address.to_string(), options_.maxPerClient)) return true;
    refuse(ConnectionTable::Admission::ClientFull);
    return false;
  }

  Response reply(http::status status, const std::string& text, unsigned version, bool keepAlive) {
    counters_.rejectedRequests.fetch_add(1);
    Response response{status, version};
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = text;
    response.keep_alive(keepAlive);
    return response;
  }
  // An error after which the connection is closed.
  Response refusal(http::status status, const std::string& text) { return reply(status, text, 11, false); }

  Response answer(const http::request<http::string_body>& request) {
    const unsigned version = request.version();
    // Every answer ends its connection: a browser would otherwise keep several idle HTTP
    // connections per page, and with a page's 16 viewers they would not fit the per-client
    // limit. The page's few files are answered from memory, so reconnecting costs little.
    const bool keepAlive = false;
    if (request.method() != http::verb::get && request.method() != http::verb::head)
      return reply(http::status::method_not_allowed, "only GET and HEAD\n", version, keepAlive);
    Target target;
    if (!parseTarget(view(request.target()), target))
      return reply(http::status::bad_request, "malformed or over-long request target\n", version, keepAlive);

    Response response{http::status::ok, version};
    response.keep_alive(keepAlive);
    if (target.path == "/metrics" || target.path == "/healthz") {
      if (!metricsAllowed())
        return reply(http::status::forbidden, "figures are for the monitoring's address only\n", version, keepAlive);
      if (target.path == "/healthz") {
        response.body() = "ok\n";
        response.set(http::field::content_type, "text/plain; charset=utf-8");
      } else {
        HubFigures figures;
        if (auto hub = hub_.lock()) figures = {hub->cameraCount(), hub->recorderLosses()};
        response.body() = renderMetrics(counters_, figures);
        response.set(http::field::content_type, "text/plain; version=0.0.4; charset=utf-8");
      }
    } else if (target.path == "/") {
      if (!isCameraPageQuery(target)) {
        WallQuery wall;
        std::string reason;
        if (!parseWallQuery(target, wall, reason))
          return reply(http::status::bad_request, reason + "\n", version, keepAlive);
        // With signed links the wall shows only the cameras the link allows, never a tile
        // whose WebSocket would be refused.
        AccessDecision access = checkToken(options_, counters_, wall.token);
        const std::vector<WallCamera> cameras = wallCameras(options_, access.grant ? &*access.grant : nullptr);
        if (access.allowed && cameras.empty())
          access = refuseOtherCameras(counters_, "the link allows none of the wall's cameras\n");
        if (!access.allowed) return reply(access.status, access.reason, version, keepAlive);
        if (!access.grant) wall.token.clear();
        if (wall.page > wallPageCount(cameras.size()))
          return reply(http::status::not_found,
                       "no such page: the wall has " + std::to_string(wallPageCount(cameras.size())) + "\n", version,
                       keepAlive);
        response.body() = renderWallPage(cameras, wall);
      } else {
        PageQuery page;
        std::string reason;
        bool unknownRecorder = false;
        if (!parsePageQuery(target, options_, page, reason, unknownRecorder))
          return reply(unknownRecorder ? http::status::not_found : http::status::bad_request, reason + "\n", version,
                       keepAlive);
        const AccessDecision access = decideAccess(options_, counters_, page.token, page.recorder, page.ids);
        if (!access.allowed) return reply(access.status, access.reason, version, keepAlive);
        response.body() = renderCameraPage(page);
      }
      response.set(http::field::content_type, "text/html; charset=utf-8");
    } else if (staticFileType(std::string_view(target.path).substr(1))) {
      // The operator's folders are not the browser's business: the text names no path.
      const StaticFile* file = files_.find(std::string_view(target.path).substr(1));
      if (!file)
        return reply(http::status::service_unavailable, "the WebAssembly viewer is not built: make web\n", version,
                     keepAlive);
      response.set(http::field::etag, file->etag);
      response.set(http::field::content_type, file->type);
      if (view(request[http::field::if_none_match]) == file->etag) {
        response.result(http::status::not_modified);
        response.content_length(0);
        return response;
      }
      response.body() = file->content;
    } else if (target.path == "/favicon.ico") {
      response.result(http::status::no_content);
    } else if (target.path.rfind(kCameraPathPrefix, 0) == 0) {
      return reply(http::status::upgrade_required, "a camera is watched over WebSocket\n", version, keepAlive);
    } else {
      return reply(http::status::not_found, "no such page\n", version, keepAlive);
    }
    if (request.method() == http::verb::head) {
      response.content_length(response.body().size());
      response.body().clear();
    }
    return response;
  }

  bool metricsAllowed() {
    if (options_.metricsFrom.empty()) return true;
    for (const std::string& allowed : options_.metricsFrom) {
      beast::error_code bad;
      const auto address = boost::asio::ip::make_address(allowed, bad);
      if (!bad && plainAddress(address) == client_.address) return true;
    }
    return false;
  }

  // Snapshots and MJPEG streams: the same signed links as the WebSocket path, for the one
  // camera they name; what does not parse is answered by the media responder.
  void serveMedia(http::request<http::string_body> request) {
    Target target;
    media::MediaRequest wanted;
    std::string error;
    if (parseTarget(view(request.target()), target) && media::parseMediaRequest(target, wanted, error)) {
      const AccessDecision access =
          decideAccess(options_, counters_, queryValue(target, "token"), wanted.recorder, {wanted.connectionId});
      if (!access.allowed) return send(refusal(access.status, access.reason));
    }
    media::serveMedia(stream_.release_socket(), std::move(request), media_, counters_, std::move(*slot_));
  }

  void upgrade(http::request<http::string_body> request) {
    Target target;
    CameraSocketPath camera;
    if (!parseTarget(view(request.target()), target) || !parseCameraSocketPath(target.path, camera))
      return send(refusal(http::status::not_found, "WebSockets are served at /camera/NAME/ID\n"));
    const std::string& name = camera.recorder;
    if (!findRecorder(options_, name))
      return send(refusal(http::status::not_found, "unknown recorder '" + name + "'\n"));
    if (!rules_.originAllowed(view(request[http::field::origin]), view(request[http::field::host]),
                              client_.overHttps)) {
      counters_.refusedOrigin.fetch_add(1);
      return send(refusal(http::status::forbidden, "pages of this origin may not watch cameras here\n"));
    }
    // A camera named in the URL is checked against the link here, before the upgrade; its
    // session then opens that camera only.
    std::vector<std::int32_t> ids;
    if (camera.connectionId) ids.push_back(*camera.connectionId);
    AccessDecision access = decideAccess(options_, counters_, queryValue(target, "token"), name, ids);
    if (!access.allowed) return send(refusal(access.status, access.reason));
    auto session =
        std::make_shared<ViewerSession>(stream_.release_socket(), name, camera.connectionId, std::move(access.grant),
                                        hub_, options_, counters_, std::move(*slot_));
    if (sessions_.size() >= 2 * std::size_t(options_.maxConnections))
      std::erase_if(sessions_, [](const std::weak_ptr<ViewerSession>& s) { return s.expired(); });
    sessions_.push_back(session);
    session->run(std::move(request), beast::buffers_to_string(buffer_.data()));
  }

  void send(Response response) {
    response.set(http::field::server, "camview-gateway");
    // The page is cross-origin isolated: its WebAssembly threads share memory.
    response.set("Cross-Origin-Opener-Policy", "same-origin");
    response.set("Cross-Origin-Embedder-Policy", "require-corp");
    response.set("Cross-Origin-Resource-Policy", "same-origin");
    response.set(http::field::cache_control, "no-cache");
    response.set("X-Content-Type-Options", "nosniff");
    // Which pages may show this one in a frame; a page framed elsewhere could be clicked
    // through unseen.
    response.set("Content-Security-Policy", "frame-ancestors " + options_.frameAncestors);
    if (response.result() == http::status::unauthorized)
      response.set(http::field::www_authenticate, "Bearer realm=\"camview-gateway\"");
    // A HEAD answer and a 304 keep the length they were given; everything else is measured.
    if (response.find(http::field::content_length) == response.end()) response.prepare_payload();
    response_ = std::make_shared<Response>(std::move(response));
    stream_.expires_after(std::chrono::milliseconds(options_.writeTimeoutMs));
    http::async_write(stream_, *response_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (error == beast::error::timeout) self->counters_.writeTimeouts.fetch_add(1);
      const bool close = error || !self->response_->keep_alive();
      self->response_.reset();
      if (close) return self->shutdown();
      self->read();
    });
  }

  void shutdown() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
  }

  beast::tcp_stream stream_;
  const boost::asio::ip::address peer_;
  ForwardedClient client_;
  beast::flat_buffer buffer_{kMaxHeaderBytes};
  std::optional<http::request_parser<http::string_body>> parser_;
  std::shared_ptr<Response> response_;
  const GatewayOptions& options_;
  const HostRules& rules_;
  const TrustedProxies& proxies_;
  const StaticFiles& files_;
  std::vector<std::weak_ptr<ViewerSession>>& sessions_;
  std::weak_ptr<CameraHub> hub_;
  std::weak_ptr<media::MediaService> media_;
  GatewayCounters& counters_;
  std::optional<ConnectionSlot> slot_; // none for a connection that is refused
};

bool outOfDescriptorsOrBuffers(const beast::error_code& error) {
  namespace errc = boost::system::errc;
  return error == errc::too_many_files_open || error == errc::too_many_files_open_in_system ||
         error == errc::no_buffer_space || error == errc::not_enough_memory;
}

} // namespace

WebServer::WebServer(boost::asio::io_context& io, const GatewayOptions& options, std::weak_ptr<CameraHub> hub,
                     GatewayCounters& counters, std::shared_ptr<ConnectionTable> connections, std::ostream& log)
    : io_(io), options_(options), hub_(std::move(hub)), counters_(counters), connections_(std::move(connections)),
      log_(log), acceptor_(io), backoff_(io), media_(std::make_shared<media::MediaService>(io, hub_, counters)) {}

bool WebServer::listen(std::string& error) {
  beast::error_code code;
  const auto address = boost::asio::ip::make_address(options_.listenHost, code);
  if (code) {
    error = "--listen: '" + options_.listenHost + "' is not an IP address";
    return false;
  }
  for (const std::string& allowed : options_.metricsFrom) {
    boost::asio::ip::make_address(allowed, code);
    if (code) {
      error = "--metrics-from: '" + allowed + "' is not an IP address";
      return false;
    }
  }
  for (const std::string& proxy : options_.trustedProxies) {
    if (!proxies_.add(proxy)) {
      error = "--trusted-proxy: '" + proxy + "' is not an IP address";
      return false;
    }
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(options_.listenPort));
  acceptor_.open(endpoint.protocol(), code);
  if (!code) acceptor_.set_option(boost::asio::socket_base::reuse_address(true), code);
  if (!code) acceptor_.bind(endpoint, code);
  if (!code) acceptor_.listen(boost::asio::socket_base::max_listen_connections, code);
  if (code) {
    error =
        "cannot listen on " + options_.listenHost + ":" + std::to_string(options_.listenPort) + ": " + code.message();
    return false;
  }
  port_ = acceptor_.local_endpoint().port();
  rules_.emplace(options_, port_);
  if (files_.load(options_.webRoot) < int(staticFileNames().size()) && !options_.quiet)
    log_ << "camview-gateway: the WebAssembly viewer is not built (its files are not all in the web root): make web"
         << std::endl;
  return true;
}

void WebServer::startAccepting() { accept(); }

void WebServer::close() {
  beast::error_code ignored;
  acceptor_.close(ignored);
  backoff_.cancel();
  for (const std::weak_ptr<ViewerSession>& weak : sessions_)
    if (auto session = weak.lock()) session->goAway();
  sessions_.clear();
}

void WebServer::accept() {
  acceptor_.async_accept(io_, [this](beast::error_code error, tcp::socket socket) {
    if (error == boost::asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (outOfDescriptorsOrBuffers(error)) {
      // Accepting again at once would fail at once, at full speed: pause instead, while the
      // connections open now are served and some end.
      counters_.acceptPauses.fetch_add(1);
      backoff_.expires_after(std::chrono::milliseconds(options_.acceptBackoffMs));
      backoff_.async_wait([this](const beast::error_code& waited) {
        if (!waited && acceptor_.is_open()) accept();
      });
      return;
    }
    beast::error_code noPeer;
    const tcp::endpoint peer = error ? tcp::endpoint() : socket.remote_endpoint(noPeer);
    if (!error && !noPeer) {
      std::optional<ConnectionSlot> slot;
      const auto address = plainAddress(peer.address());
      // A trusted proxy's connections are counted for their clients once their requests name them.
      const bool proxy = proxies_.contains(address);
      const auto admission =
          connections_->admit(proxy ? proxyEntry(address) : address.to_string(), options_.maxConnections,
                              proxy ? std::numeric_limits<int>::max() : options_.maxPerClient, slot);
      auto session = std::make_shared<HttpSession>(std::move(socket), address, options_, *rules_, proxies_, files_,
                                                   sessions_, hub_, media_, counters_, std::move(slot));
      if (admission == ConnectionTable::Admission::Admitted)
        session->run();
      else
        session->refuse(admission);
    }
    accept();
  });
}

} // namespace gateway
