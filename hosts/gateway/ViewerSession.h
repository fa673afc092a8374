#pragma once
// One browser viewer's WebSocket. The browser speaks the recorder protocol over it: an open
// request naming the connection id, then a next-picture request for each picture it has
// taken. The session answers as the recorder would, with the camera's replies: control
// messages in order, and pictures one per request. It keeps only the newest picture for a
// browser that is not ready for one, so a slow or stalled browser holds at most one picture
// and a bounded number of control-message bytes; a browser whose control messages pile up
// past the budget is disconnected. Deadlines: the open request within the request time-out,
// every write within the write time-out (else the browser is dropped), and any request within
// the idle time-out (else the WebSocket is closed with 1001, "going away").
#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/CameraHub.h"
#include "hosts/gateway/ConnectionTable.h"
#include "hosts/gateway/GatewayCounters.h"
#include "hosts/gateway/ViewerRequests.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace gateway {

class ViewerSession final : public Subscriber, public std::enable_shared_from_this<ViewerSession> {
public:
  static constexpr std::size_t kMaxRequestMessage = 4096; // WebSocket message limit

  // `camera`: the connection id the WebSocket's URL names, if any: the open request must name
  // the same. `grant`: what the browser's signed link allows; none when access is not
  // controlled.
  ViewerSession(boost::asio::ip::tcp::socket&& socket, std::string recorder, std::optional<std::int32_t> camera,
                std::optional<AccessGrant> grant, std::weak_ptr<CameraHub> hub, const GatewayOptions& options,
                GatewayCounters& counters, ConnectionSlot slot);
  ~ViewerSession() override;

  // Completes the WebSocket handshake of this upgrade request and serves the browser.
  // `following`: bytes the browser sent right behind the request (its first frames).
  void run(boost::beast::http::request<boost::beast::http::string_body> request, std::string following);

  void sendControl(const SharedBytes& message) override;
  void offerPicture(const SharedBytes& message, std::uint64_t sequence) override;
  void upstreamLost() override;
  void recorderRemoved() override;
  // The gateway is stopping: closes with 1001, "going away".
  void goAway();

private:
  // A completion handler's hold on its session. A handler destroyed while an exception unwinds
  // past it (an allocation failed in its operation or in the handler itself) leaves the session
  // without the read or write it waits for: the session is then dropped at once instead of
  // staying half-served until a deadline.
  class Hold {
  public:
    explicit Hold(std::shared_ptr<ViewerSession> session) : session_(std::move(session)) {}
    Hold(const Hold&) = default;
    Hold(Hold&&) = default;
    ~Hold() {
      if (session_ && std::uncaught_exceptions() > unwinding_) session_->abandon();
    }
    ViewerSession* operator->() const { return session_.get(); }

  private:
    std::shared_ptr<ViewerSession> session_;
    int unwinding_ = std::uncaught_exceptions();
  };
  Hold hold() { return Hold(shared_from_this()); }
  // Drops the session after an allocation failure; never throws.
  void abandon() noexcept;

  void onAccept(boost::beast::error_code error);
  void read();
  void onRead(boost::beast::error_code error, std::size_t bytes);
  void handle(const ViewerRequest& request);
  void writeNext();
  void onWrite(boost::beast::error_code error);
  void closeWith(boost::beast::websocket::close_code code, const std::string& reason);
  void drop(std::atomic<std::uint64_t>& reason);
  void closeSocket(); // ends every pending operation
  void awaitRequest(int timeoutMs);
  void finish();
  void account(std::int64_t delta);

  boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
  boost::beast::flat_buffer buffer_;
  std::string recorder_;
  std::optional<std::int32_t> camera_;
  std::optional<AccessGrant> grant_;
  std::weak_ptr<CameraHub> hub_;
  const GatewayOptions& options_;
  GatewayCounters& counters_;
  ConnectionSlot slot_;
  ViewerRequestReader reader_;

  // The deadlines are kept as times; each timer wakes at or before its deadline and looks
  // again, so that a request or a write (one of each per picture) costs no timer operation.
  using Clock = std::chrono::steady_clock;
  void armRequestTimer();
  void armWriteTimer();
  boost::asio::steady_timer requestDeadline_; // the open request, then any request
  boost::asio::steady_timer writeDeadline_;
  Clock::time_point requestDue_, writeDue_;
  bool requestTimerArmed_ = false, writeTimerArmed_ = false;
  std::uint64_t requestWaits_ = 0; // tells the request timer's own wait from one set again
  std::deque<SharedBytes> control_;
  std::int64_t controlBytes_ = 0;
  SharedBytes picture_; // the newest picture not yet sent
  std::uint64_t pictureSequence_ = 0, sentSequence_ = 0;
  bool wantsPicture_ = false;
  SharedBytes writing_; // the message being written
  bool open_ = false;
  bool closing_ = false;
  bool finished_ = false;
  std::int64_t queued_ = 0;
};

} // namespace gateway
