#include "hosts/gateway/ViewerSession.h"

#include <boost/asio/buffer.hpp>

#include <algorithm>
#include <new>
#include <sstream>

namespace gateway {

namespace beast = boost::beast;
namespace websocket = beast::websocket;

ViewerSession::ViewerSession(boost::asio::ip::tcp::socket&& socket, std::string recorder,
                             std::optional<std::int32_t> camera, std::optional<AccessGrant> grant,
                             std::weak_ptr<CameraHub> hub, const GatewayOptions& options, GatewayCounters& counters,
                             ConnectionSlot slot)
    : ws_(std::move(socket)), recorder_(std::move(recorder)), camera_(camera), grant_(std::move(grant)),
      hub_(std::move(hub)), options_(options), counters_(counters), slot_(std::move(slot)),
      requestDeadline_(ws_.get_executor()), writeDeadline_(ws_.get_executor()) {
  counters_.viewers.fetch_add(1);
}

ViewerSession::~ViewerSession() {
  finish();
  counters_.queuedBytes.fetch_sub(queued_, std::memory_order_relaxed);
  counters_.viewers.fetch_sub(1);
}

void ViewerSession::run(beast::http::request<beast::http::string_body> request, std::string following) {
  // The handshake and the closing handshake within the request time-out; requests and
  // writes have deadlines of their own below (Beast's idle time-out would let a client that
  // answers pings stay for ever).
  beast::get_lowest_layer(ws_).expires_never();
  websocket::stream_base::timeout timeouts{};
  timeouts.handshake_timeout = std::chrono::milliseconds(options_.requestTimeoutMs);
  timeouts.idle_timeout = websocket::stream_base::none();
  timeouts.keep_alive_pings = false;
  ws_.set_option(timeouts);
  ws_.read_message_max(kMaxRequestMessage);
  ws_.binary(true);
  // A picture goes out as one frame: Beast would otherwise cut it into 4 KiB frames, one
  // socket write each.
  ws_.auto_fragment(false);
  if (following.empty())
    return ws_.async_accept(request, [self = hold()](beast::error_code error) { self->onAccept(error); });
  // Beast takes bytes already read only together with the request they follow: the request
  // is written out again in front of them (Beast copies both before returning).
  std::ostringstream raw;
  raw << request << following;
  ws_.async_accept(boost::asio::buffer(raw.str()), [self = hold()](beast::error_code error) { self->onAccept(error); });
}

void ViewerSession::onAccept(beast::error_code error) {
  if (error) return finish();
  awaitRequest(options_.requestTimeoutMs);
  read();
}

void ViewerSession::awaitRequest(int timeoutMs) {
  requestDue_ = Clock::now() + std::chrono::milliseconds(timeoutMs);
  // A later deadline is found by the wait under way; only an earlier one sets it again.
  if (!requestTimerArmed_ || requestDue_ < requestDeadline_.expiry()) armRequestTimer();
}

void ViewerSession::armRequestTimer() {
  // Setting the timer again queues the wait it replaces (or one that has expired already)
  // without an error: only its number tells it is stale.
  const std::uint64_t wait = ++requestWaits_;
  requestTimerArmed_ = true;
  requestDeadline_.expires_at(requestDue_);
  requestDeadline_.async_wait([self = hold(), wait](const beast::error_code& error) {
    if (error || wait != self->requestWaits_) return;
    self->requestTimerArmed_ = false;
    if (self->closing_) return;                                           // the session ends
    if (Clock::now() < self->requestDue_) return self->armRequestTimer(); // a request came since
    if (!self->open_) {
      // Connected but silent: the slot is not kept for it.
      self->counters_.requestTimeouts.fetch_add(1);
      return self->closeWith(websocket::close_code::policy_error, "no open request in time");
    }
    self->counters_.idleClosed.fetch_add(1);
    self->closeWith(websocket::close_code::going_away, "no request for too long");
  });
}

void ViewerSession::read() {
  ws_.async_read(buffer_, [self = hold()](beast::error_code error, std::size_t bytes) { self->onRead(error, bytes); });
}

void ViewerSession::onRead(beast::error_code error, std::size_t) {
  if (error) {
    // Beast has answered an oversized message with the "too big" close code already.
    if (error == websocket::error::message_too_big) counters_.protocolErrors.fetch_add(1);
    return finish();
  }
  if (closing_) return;
  if (ws_.got_text()) return closeWith(websocket::close_code::bad_payload, "binary requests only");
  std::vector<ViewerRequest> requests;
  std::string reason;
  const auto data = buffer_.cdata();
  const bool ok = reader_.feed(static_cast<const std::uint8_t*>(data.data()), data.size(), requests, reason);
  buffer_.consume(buffer_.size());
  if (!requests.empty()) awaitRequest(options_.idleTimeoutMs);
  for (const ViewerRequest& request : requests) {
    if (closing_) return;
    handle(request);
  }
  if (!ok) return closeWith(websocket::close_code::protocol_error, reason);
  if (!closing_) read();
}

void ViewerSession::handle(const ViewerRequest& request) {
  if (request.kind == ViewerRequest::Next) {
    if (!open_) return closeWith(websocket::close_code::policy_error, "next-picture request before the open request");
    wantsPicture_ = true;
    return writeNext();
  }
  if (open_) return closeWith(websocket::close_code::policy_error, "a second open request");
  // The URL's camera is the one the link was checked for (and a balancer routed by).
  if (camera_ && request.connectionId != *camera_)
    return closeWith(websocket::close_code::policy_error, "the open request names camera " +
                                                              std::to_string(request.connectionId) +
                                                              ", the URL camera " + std::to_string(*camera_));
  if (grant_ && !grant_->allows(recorder_, request.connectionId)) {
    counters_.tokenOtherCamera.fetch_add(1);
    return closeWith(websocket::close_code::policy_error,
                     "the link does not allow camera " + std::to_string(request.connectionId));
  }
  auto hub = hub_.lock();
  if (!hub) return closeWith(websocket::close_code::going_away, "the gateway is stopping");
  // The first picture goes out without being asked for, as a recorder sends it.
  wantsPicture_ = true;
  open_ = true;
  switch (hub->subscribe(this, recorder_, request.connectionId)) {
  case CameraHub::JoinResult::Joined:
    break;
  case CameraHub::JoinResult::UnknownRecorder:
    return closeWith(websocket::close_code::policy_error, "unknown recorder");
  case CameraHub::JoinResult::TooManyCameras:
    return closeWith(websocket::close_code::try_again_later, "too many cameras watched at once");
  case CameraHub::JoinResult::LinkNotStarted:
    return closeWith(websocket::close_code::internal_error, "recorder connection not started");
  }
}

void ViewerSession::sendControl(const SharedBytes& message) {
  if (closing_) return;
  const auto size = std::int64_t(message->size());
  if (controlBytes_ + size > options_.controlBudgetBytes) {
    // The browser does not read: drop it rather than keep its messages.
    return drop(counters_.overBudget);
  }
  // The hub hands the message to every browser of the camera in turn: one that has no
  // memory for it is dropped, the others still get it.
  try {
    control_.push_back(message);
    controlBytes_ += size;
    account(size);
    writeNext();
  } catch (const std::bad_alloc&) {
    drop(counters_.allocationFailures);
  }
}

void ViewerSession::offerPicture(const SharedBytes& message, std::uint64_t sequence) {
  if (closing_) return;
  if (picture_) {
    counters_.picturesSkipped.fetch_add(1, std::memory_order_relaxed);
    account(-std::int64_t(picture_->size()));
  }
  picture_ = message;
  pictureSequence_ = sequence;
  account(std::int64_t(message->size()));
  try {
    writeNext();
  } catch (const std::bad_alloc&) {
    drop(counters_.allocationFailures);
  }
}

void ViewerSession::upstreamLost() {
  // The browser's viewer sees its connection break, shows so and connects again.
  closeWith(websocket::close_code::internal_error, "recorder connection lost");
}

void ViewerSession::recorderRemoved() {
  // Not an error: the browser's viewer connects again and finds the recorder's new address,
  // or that it is gone.
  closeWith(websocket::close_code::going_away, "the recorder was removed or moved");
}

void ViewerSession::goAway() { closeWith(websocket::close_code::going_away, "the gateway is stopping"); }

void ViewerSession::writeNext() {
  if (writing_ || closing_ || !ws_.is_open()) return;
  if (!control_.empty()) {
    writing_ = std::move(control_.front());
    control_.pop_front();
    controlBytes_ -= std::int64_t(writing_->size());
  } else if (wantsPicture_ && picture_ && pictureSequence_ > sentSequence_) {
    writing_ = std::move(picture_);
    picture_.reset();
    sentSequence_ = pictureSequence_;
    wantsPicture_ = false;
    counters_.picturesSent.fetch_add(1, std::memory_order_relaxed);
  } else {
    return;
  }
  // Every write has the same time-out: a wait under way ends no later than this write's.
  writeDue_ = Clock::now() + std::chrono::milliseconds(options_.writeTimeoutMs);
  if (!writeTimerArmed_) armWriteTimer();
  ws_.async_write(boost::asio::buffer(*writing_),
                  [self = hold()](beast::error_code error, std::size_t) { self->onWrite(error); });
}

void ViewerSession::armWriteTimer() {
  writeTimerArmed_ = true;
  writeDeadline_.expires_at(writeDue_);
  writeDeadline_.async_wait([self = hold()](const beast::error_code& error) {
    self->writeTimerArmed_ = false;
    // Only while a write is pending; the next write sets the timer again.
    if (error || self->closing_ || !self->writing_) return;
    if (Clock::now() < self->writeDue_) return self->armWriteTimer(); // a later write's deadline
    self->drop(self->counters_.writeTimeouts);
  });
}

void ViewerSession::onWrite(beast::error_code error) {
  if (!error) counters_.bytesSent.fetch_add(writing_->size(), std::memory_order_relaxed);
  account(-std::int64_t(writing_->size()));
  writing_.reset();
  if (error) return finish();
  writeNext();
}

void ViewerSession::drop(std::atomic<std::uint64_t>& reason) {
  // No close handshake with a browser that does not read: the socket goes, and with it every
  // pending operation of the session.
  if (finished_) return;
  reason.fetch_add(1);
  closeSocket();
  finish();
}

void ViewerSession::closeSocket() {
  closing_ = true;
  beast::error_code ignored;
  beast::get_lowest_layer(ws_).socket().close(ignored);
}

void ViewerSession::abandon() noexcept {
  // Counted where the failure is caught (the I/O thread's loop). Leaving the hub may need
  // memory too: the socket is closed first, so that the browser learns at once.
  if (finished_) return;
  closeSocket();
  try {
    finish();
  } catch (...) {}
}

void ViewerSession::closeWith(websocket::close_code code, const std::string& reason) {
  if (closing_) return;
  if (code == websocket::close_code::policy_error || code == websocket::close_code::protocol_error ||
      code == websocket::close_code::bad_payload)
    counters_.protocolErrors.fetch_add(1);
  closing_ = true;
  for (const SharedBytes& message : control_) account(-std::int64_t(message->size()));
  control_.clear();
  controlBytes_ = 0;
  if (picture_) account(-std::int64_t(picture_->size()));
  picture_.reset();
  if (auto hub = hub_.lock()) hub->unsubscribe(this);
  // A close frame's reason is at most 123 bytes.
  websocket::close_reason why(code, reason.substr(0, 120));
  ws_.async_close(why, [self = hold()](beast::error_code) { self->finish(); });
}

void ViewerSession::finish() {
  if (finished_) return;
  finished_ = true;
  closing_ = true;
  requestDeadline_.cancel();
  writeDeadline_.cancel();
  if (auto hub = hub_.lock()) hub->unsubscribe(this);
}

void ViewerSession::account(std::int64_t delta) {
  queued_ += delta;
  counters_.queuedBytes.fetch_add(delta, std::memory_order_relaxed);
  std::int64_t seen = counters_.maxSessionQueued.load(std::memory_order_relaxed);
  while (queued_ > seen && !counters_.maxSessionQueued.compare_exchange_weak(seen, queued_)) {}
}

} // namespace gateway
