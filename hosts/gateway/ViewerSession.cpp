#include "hosts/gateway/ViewerSession.h"

#include <boost/asio/buffer.hpp>

#include <algorithm>

namespace gateway {

namespace beast = boost::beast;
namespace websocket = beast::websocket;

ViewerSession::ViewerSession(boost::asio::ip::tcp::socket&& socket, std::string recorder,
                             std::optional<AccessGrant> grant, std::weak_ptr<CameraHub> hub, GatewayCounters& counters,
                             ConnectionSlot slot)
    : ws_(std::move(socket)), recorder_(std::move(recorder)), grant_(std::move(grant)), hub_(std::move(hub)),
      counters_(counters), slot_(std::move(slot)) {
  counters_.viewers.fetch_add(1);
}

ViewerSession::~ViewerSession() {
  finish();
  counters_.queuedBytes.fetch_sub(queued_, std::memory_order_relaxed);
  counters_.viewers.fetch_sub(1);
}

void ViewerSession::run(beast::http::request<beast::http::string_body> request) {
  beast::get_lowest_layer(ws_).expires_never(); // the WebSocket keeps its own time-outs
  ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
  ws_.read_message_max(kMaxRequestMessage);
  ws_.binary(true);
  // A picture goes out as one frame: Beast would otherwise cut it into 4 KiB frames, one
  // socket write each.
  ws_.auto_fragment(false);
  ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) { self->onAccept(error); });
}

void ViewerSession::onAccept(beast::error_code error) {
  if (error) return finish();
  read();
}

void ViewerSession::read() {
  ws_.async_read(
      buffer_, [self = shared_from_this()](beast::error_code error, std::size_t bytes) { self->onRead(error, bytes); });
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
  case CameraHub::JoinResult::NoThread:
    return closeWith(websocket::close_code::internal_error, "no thread");
  }
}

void ViewerSession::sendControl(const SharedBytes& message) {
  if (closing_) return;
  if (control_.size() >= kMaxControlQueued) {
    // The browser does not read: drop it rather than keep its messages.
    counters_.protocolErrors.fetch_add(1);
    closing_ = true;
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
    return finish();
  }
  control_.push_back(message);
  account(std::int64_t(message->size()));
  writeNext();
}

void ViewerSession::offerPicture(const SharedBytes& message, std::uint64_t sequence) {
  if (closing_) return;
  if (picture_) account(-std::int64_t(picture_->size()));
  picture_ = message;
  pictureSequence_ = sequence;
  account(std::int64_t(message->size()));
  writeNext();
}

void ViewerSession::upstreamLost() {
  // The browser's viewer sees its connection break, shows so and connects again.
  closeWith(websocket::close_code::internal_error, "recorder connection lost");
}

void ViewerSession::writeNext() {
  if (writing_ || closing_ || !ws_.is_open()) return;
  if (!control_.empty()) {
    writing_ = std::move(control_.front());
    control_.pop_front();
  } else if (wantsPicture_ && picture_ && pictureSequence_ > sentSequence_) {
    writing_ = std::move(picture_);
    picture_.reset();
    sentSequence_ = pictureSequence_;
    wantsPicture_ = false;
    counters_.picturesSent.fetch_add(1, std::memory_order_relaxed);
  } else {
    return;
  }
  ws_.async_write(boost::asio::buffer(*writing_),
                  [self = shared_from_this()](beast::error_code error, std::size_t) { self->onWrite(error); });
}

void ViewerSession::onWrite(beast::error_code error) {
  account(-std::int64_t(writing_->size()));
  writing_.reset();
  if (error) return finish();
  writeNext();
}

void ViewerSession::closeWith(websocket::close_code code, const std::string& reason) {
  if (closing_) return;
  if (code == websocket::close_code::policy_error || code == websocket::close_code::protocol_error ||
      code == websocket::close_code::bad_payload)
    counters_.protocolErrors.fetch_add(1);
  closing_ = true;
  for (const SharedBytes& message : control_) account(-std::int64_t(message->size()));
  control_.clear();
  if (picture_) account(-std::int64_t(picture_->size()));
  picture_.reset();
  if (auto hub = hub_.lock()) hub->unsubscribe(this);
  // A close frame's reason is at most 123 bytes.
  websocket::close_reason why(code, reason.substr(0, 120));
  ws_.async_close(why, [self = shared_from_this()](beast::error_code) { self->finish(); });
}

void ViewerSession::finish() {
  if (finished_) return;
  finished_ = true;
  closing_ = true;
  if (auto hub = hub_.lock()) hub->unsubscribe(this);
}

void ViewerSession::account(std::int64_t delta) {
  queued_ += delta;
  counters_.queuedBytes.fetch_add(delta, std::memory_order_relaxed);
  std::int64_t seen = counters_.maxSessionQueued.load(std::memory_order_relaxed);
  while (queued_ > seen && !counters_.maxSessionQueued.compare_exchange_weak(seen, queued_)) {}
}

} // namespace gateway
