#include "hosts/gateway/media/MediaResponder.h"

#include "hosts/gateway/PageRequest.h"
#include "hosts/gateway/media/MediaQuery.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <sstream>

namespace gateway::media {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

namespace {

using Request = http::request<http::string_body>;

// The status line and fields of an answer; the connection closes after it.
std::string answerHead(http::status status, unsigned version, std::string_view type, std::size_t length,
                       bool withLength) {
  http::response<http::empty_body> response{status, version};
  response.set(http::field::server, "camview-gateway");
  response.set(http::field::content_type, beast::string_view(type.data(), type.size()));
  response.set(http::field::cache_control, "no-store");
  response.set("X-Content-Type-Options", "nosniff");
  // Dashboards on other origins show these pictures; what they may see is the access check's.
  response.set("Cross-Origin-Resource-Policy", "cross-origin");
  if (withLength) response.content_length(length);
  response.keep_alive(false);
  std::ostringstream text;
  text << response.base();
  return text.str();
}

// What snapshots and streams share: the connection, its write deadline, the camera joined.
class MediaSession : public MediaWatcher, public std::enable_shared_from_this<MediaSession> {
public:
  MediaSession(tcp::socket&& socket, std::weak_ptr<MediaService> service, GatewayCounters& counters,
               ConnectionSlot slot, MediaRequest request, unsigned version, bool head)
      : socket_(std::move(socket)), deadline_(socket_.get_executor()), service_(std::move(service)),
        counters_(counters), slot_(std::move(slot)), request_(std::move(request)), version_(version), head_(head) {
    counters_.mediaClients.fetch_add(1);
  }
  ~MediaSession() override { counters_.mediaClients.fetch_sub(1); }

  RenderSpec spec() const override { return request_.spec; }

  // Joins the camera, or answers why not. True when joined.
  bool join() {
    auto service = service_.lock();
    if (!service) {
      fail(http::status::service_unavailable, "the gateway is stopping");
      return false;
    }
    switch (service->watch(key(), shared_from_this())) {
    case CameraHub::JoinResult::Joined:
      joined_ = true;
      return true;
    case CameraHub::JoinResult::UnknownRecorder:
      fail(http::status::not_found, "unknown recorder '" + request_.recorder + "'");
      return false;
    case CameraHub::JoinResult::TooManyCameras:
      fail(http::status::service_unavailable, "too many cameras watched at once, try again later");
      return false;
    case CameraHub::JoinResult::LinkNotStarted:
      fail(http::status::internal_server_error, "the recorder connection could not be started");
      return false;
    }
    return false;
  }

  // A plain-text error, then the connection closes.
  void fail(http::status status, const std::string& reason) {
    leave();
    const std::string text = reason + "\n";
    auto bytes = std::make_shared<std::string>(
        answerHead(status, version_, "text/plain; charset=utf-8", text.size(), true) + (head_ ? std::string() : text));
    write(std::array<boost::asio::const_buffer, 1>{boost::asio::buffer(*bytes)}, [bytes] { return false; });
  }

protected:
  MediaService::Key key() const { return {request_.recorder, request_.connectionId}; }

  // Leaves the camera (once).
  void leave() {
    if (!joined_) return;
    joined_ = false;
    if (auto service = service_.lock()) service->unwatch(key(), this);
  }

  // Writes `buffers` within kWriteTimeout; then `more()` says whether the connection stays.
  template <typename Buffers, typename More>
  void write(const Buffers& buffers, More more) {
    writing_ = true;
    deadline_.expires_after(kWriteTimeout);
    deadline_.async_wait([weak = weak_from_this()](const beast::error_code& error) {
      if (error) return;
      if (auto self = weak.lock()) {
        beast::error_code ignored;
        self->socket_.close(ignored); // the pending write ends with an error
      }
    });
    boost::asio::async_write(socket_, buffers,
                             [self = shared_from_this(), more](const beast::error_code& error, std::size_t) {
                               self->writing_ = false;
                               self->deadline_.cancel();
                               if (error || !more()) self->close();
                             });
  }

  // Leaves the camera and closes the connection.
  virtual void close() {
    leave();
    beast::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    socket_.close(ignored);
  }

  tcp::socket socket_;
  boost::asio::steady_timer deadline_;
  std::weak_ptr<MediaService> service_;
  GatewayCounters& counters_;
  ConnectionSlot slot_;
  MediaRequest request_;
  unsigned version_;
  bool head_;
  bool joined_ = false;
  bool writing_ = false;
};

class SnapshotSession final : public MediaSession {
public:
  using MediaSession::MediaSession;

  void start() {
    // A camera that has the picture already answers while joining.
    if (!join() || answered_) return;
    wait_.expires_after(kSnapshotWait);
    wait_.async_wait([self = std::static_pointer_cast<SnapshotSession>(shared_from_this())](
                         const beast::error_code& error) { self->onWaitOver(error); });
  }

  bool wants(std::uint64_t, Clock::time_point) const override { return !answered_; }

  void take(const JpegBytes& jpeg, std::uint64_t, Clock::time_point) override {
    if (answered_) return;
    answered_ = true;
    wait_.cancel();
    leave();
    auto head = std::make_shared<std::string>(answerHead(http::status::ok, version_, "image/jpeg", jpeg->size(), true));
    const std::size_t body = head_ ? 0 : jpeg->size();
    counters_.mediaBytes.fetch_add(body, std::memory_order_relaxed);
    write(std::array<boost::asio::const_buffer, 2>{boost::asio::buffer(*head), boost::asio::buffer(jpeg->data(), body)},
          [head, jpeg] { return false; });
  }

  void cameraLost(const std::string& reason) override {
    if (answered_) return;
    answered_ = true;
    wait_.cancel();
    joined_ = false; // the camera has dropped its watchers
    fail(http::status::bad_gateway, reason);
  }

private:
  void onWaitOver(const beast::error_code& error) {
    if (error || answered_) return;
    answered_ = true;
    std::string why;
    if (auto service = service_.lock()) why = service->lastFailure(key());
    fail(http::status::gateway_timeout,
         "no picture from camera " + request_.recorder + "/" + std::to_string(request_.connectionId) + " within " +
             std::to_string(kSnapshotWait.count()) + " s" + (why.empty() ? std::string() : ": " + why));
  }

  boost::asio::steady_timer wait_{socket_.get_executor()};
  bool answered_ = false;
};

class StreamSession final : public MediaSession {
public:
  using MediaSession::MediaSession;
  ~StreamSession() override { counters_.queuedBytes.fetch_sub(queued_, std::memory_order_relaxed); }

  void start() {
    const std::string type = "multipart/x-mixed-replace; boundary=" + std::string(kBoundary);
    auto head = std::make_shared<std::string>(answerHead(http::status::ok, version_, type, 0, false));
    if (head_)
      return write(std::array<boost::asio::const_buffer, 1>{boost::asio::buffer(*head)}, [head] { return false; });
    // Parts wait until the head is out: joining may hand over a picture at once.
    if (!join()) return;
    beast::error_code ignored;
    socket_.set_option(boost::asio::socket_base::send_buffer_size(kStreamSendBuffer), ignored);
    watchForClose();
    write(std::array<boost::asio::const_buffer, 1>{boost::asio::buffer(*head)}, [self = self(), head] {
      self->headSent_ = true;
      self->writeWaiting();
      return true;
    });
  }

  bool wants(std::uint64_t sequence, Clock::time_point now) const override {
    return !ended_ && sequence > taken_ && (request_.fps == 0 || now >= nextDue_);
  }

  void take(const JpegBytes& jpeg, std::uint64_t sequence, Clock::time_point now) override {
    if (ended_) return;
    taken_ = sequence;
    if (request_.fps > 0) {
      // Due again one interval after it was last due, so that the rate cap is kept on average
      // even though pictures come at the recorder's pace.
      const auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / request_.fps;
      nextDue_ = nextDue_ == Clock::time_point{} ? now + interval : std::max(nextDue_ + interval, now);
    }
    account(waiting_, jpeg); // the newest replaces one that waits
    writeWaiting();
  }

  void cameraLost(const std::string&) override {
    // The client sees the stream end, as a browser's viewer sees its connection break, and
    // connects again.
    joined_ = false;
    end();
  }

private:
  std::shared_ptr<StreamSession> self() { return std::static_pointer_cast<StreamSession>(shared_from_this()); }

  void account(JpegBytes& slot, const JpegBytes& jpeg) {
    const auto size = [](const JpegBytes& bytes) { return bytes ? std::int64_t(bytes->size()) : 0; };
    queued_ += size(jpeg) - size(slot);
    counters_.queuedBytes.fetch_add(size(jpeg) - size(slot), std::memory_order_relaxed);
    std::int64_t seen = counters_.maxSessionQueued.load(std::memory_order_relaxed);
    while (queued_ > seen && !counters_.maxSessionQueued.compare_exchange_weak(seen, queued_)) {}
    slot = jpeg;
  }

  void writeWaiting() {
    if (ended_ || writing_ || !headSent_ || !waiting_) return;
    JpegBytes part = waiting_;
    account(waiting_, nullptr);
    account(sending_, part);
    partHead_ = "--" + std::string(kBoundary) +
                "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(part->size()) +
                "\r\nX-Picture-Sequence: " + std::to_string(taken_) + "\r\n\r\n";
    write(std::array<boost::asio::const_buffer, 3>{boost::asio::buffer(partHead_), boost::asio::buffer(*part),
                                                   boost::asio::buffer("\r\n", 2)},
          [self = self()] {
            self->counters_.mediaBytes.fetch_add(self->sending_->size(), std::memory_order_relaxed);
            self->account(self->sending_, nullptr);
            self->writeWaiting();
            return !self->ended_;
          });
  }

  // The client says nothing after its request: a read ends only when it goes away.
  void watchForClose() {
    socket_.async_read_some(boost::asio::buffer(readBuffer_),
                            [self = self()](const beast::error_code& error, std::size_t) {
                              if (error) return self->end();
                              self->watchForClose();
                            });
  }

  void end() {
    if (!ended_) close();
  }

  // The part being written stays until its write ends: the socket may still read from it.
  void close() override {
    ended_ = true;
    account(waiting_, nullptr);
    MediaSession::close();
  }

  JpegBytes waiting_; // the newest JPEG not yet written
  JpegBytes sending_; // the one being written
  std::string partHead_;
  std::int64_t queued_ = 0;
  std::uint64_t taken_ = 0;
  Clock::time_point nextDue_{};
  std::array<char, 256> readBuffer_{};
  bool headSent_ = false;
  bool ended_ = false;
};

} // namespace

bool isMediaRequest(std::string_view target) {
  Target parsed;
  return parseTarget(target, parsed) && isMediaPath(parsed.path);
}

void serveMedia(tcp::socket&& socket, Request&& request, std::weak_ptr<MediaService> service, GatewayCounters& counters,
                ConnectionSlot slot) {
  Target target;
  MediaRequest media;
  std::string error;
  const bool head = request.method() == http::verb::head;
  const bool parsed = parseTarget({request.target().data(), request.target().size()}, target) &&
                      parseMediaRequest(target, media, error);
  const bool stream = parsed && media.kind == MediaRequest::Kind::Stream;
  std::shared_ptr<MediaSession> session;
  if (stream)
    session = std::make_shared<StreamSession>(std::move(socket), std::move(service), counters, std::move(slot), media,
                                              request.version(), head);
  else
    session = std::make_shared<SnapshotSession>(std::move(socket), std::move(service), counters, std::move(slot), media,
                                                request.version(), head);
  if (request.method() != http::verb::get && !head)
    return session->fail(http::status::method_not_allowed, "only GET and HEAD");
  if (!parsed) return session->fail(http::status::bad_request, error.empty() ? "malformed request target" : error);
  if (stream)
    std::static_pointer_cast<StreamSession>(session)->start();
  else
    std::static_pointer_cast<SnapshotSession>(session)->start();
}

} // namespace gateway::media
