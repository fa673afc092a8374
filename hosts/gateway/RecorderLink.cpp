#include "hosts/gateway/RecorderLink.h"

#include "engine/Connection.h"
#include "engine/ConnectionMachine.h"
#include "engine/MessageWriter.h"
#include "engine/PictureLimits.h"
#include "engine/PictureRecord.h"
#include "engine/Protocol.h"
#include "engine/ReconnectBackoff.h"
#include "platform/Time.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <string>

namespace gateway {

using tcp = boost::asio::ip::tcp;

class RecorderLink::Session final : public std::enable_shared_from_this<Session>, private CConnectionMachine::Handler {
public:
  Session(boost::asio::io_context& io, const RecorderAddress& recorder, std::int32_t connectionId, LinkEvents events)
      : resolver_(io), socket_(io), timer_(io), host_(recorder.host), port_(recorder.port), connectionId_(connectionId),
        events_(std::move(events)) {}

  bool begin() {
    if (!machine_.defineMessages() || !protocol::defineMessage(builder_)) return false;
    // The first connect runs from the loop: no callback fires inside the hub's subscribe.
    boost::asio::post(resolver_.get_executor(),
                      [self = shared_from_this()] { self->guarded([&] { self->connect(); }); });
    return true;
  }

  void retire() {
    if (retired_) return;
    retired_ = true;
    closeTransport();
  }

  std::uint64_t pictures() const { return pictures_.load(std::memory_order_relaxed); }

private:
  using Clock = std::chrono::steady_clock;

  void closeTransport() {
    ++generation_; // handlers of the closed connection find themselves outdated
    boost::system::error_code ignored;
    resolver_.cancel();
    socket_.close(ignored);
    timer_.cancel();
    timerArmed_ = false;
    writing_ = false;
    machine_.reset();
  }

  // --- connecting ---
  void connect() {
    if (retired_) return;
    const std::uint64_t generation = generation_;
    boost::system::error_code error;
    socket_.open(tcp::v4(), error);
    if (error) {
      // No socket can be made: the link ends, as the engine's Receiver thread does.
      end();
      return;
    }
    armTimer(CConnection::kConnectTimeoutMs, [this] { connectFailed(); });
    if (port_ < 0 || port_ > 65535) {
      connectFailed();
      return;
    }
    const auto address = boost::asio::ip::make_address_v4(host_, error);
    if (!error) {
      socket_.async_connect(tcp::endpoint(address, std::uint16_t(port_)),
                            [self = shared_from_this(), generation](const boost::system::error_code& failed) {
                              if (self->outdated(generation)) return;
                              self->guarded([&] { failed ? self->connectFailed() : self->connected(); });
                            });
      return;
    }
    resolver_.async_resolve(tcp::v4(), host_, std::to_string(port_),
                            [self = shared_from_this(), generation](const boost::system::error_code& failed,
                                                                    const tcp::resolver::results_type& results) {
                              if (self->outdated(generation)) return;
                              if (failed || results.empty()) return self->guarded([&] { self->connectFailed(); });
                              boost::asio::async_connect(
                                  self->socket_, results,
                                  [self, generation](const boost::system::error_code& refused, const tcp::endpoint&) {
                                    if (self->outdated(generation)) return;
                                    self->guarded([&] { refused ? self->connectFailed() : self->connected(); });
                                  });
                            });
  }

  void connectFailed() {
    closeTransport();
    pauseThenConnect();
  }

  // Every connect after the first waits out the backoff pause, as the Receiver thread does.
  void pauseThenConnect() {
    if (retired_) return;
    armTimer(backoff_.nextPause(), [this] { connect(); });
  }

  void connected() {
    timer_.cancel();
    timerArmed_ = false;
    if (!machine_.open(connectionId_, platform::tickCount())) return connectionLost();
    write();
    read();
    armPaceTimer();
  }

  // --- the connected exchange ---
  void read() {
    std::int32_t room = 0;
    std::uint8_t* space = machine_.receiveSpace(room);
    if (!space) return connectionLost(); // no memory for the message: the connection is made afresh
    const std::uint64_t generation = generation_;
    socket_.async_read_some(
        boost::asio::buffer(space, std::size_t(room)),
        [self = shared_from_this(), generation](const boost::system::error_code& error, std::size_t count) {
          if (self->outdated(generation)) return;
          self->guarded([&] { error ? self->connectionLost() : self->received(count); });
        });
  }

  void received(std::size_t count) {
    const std::uint64_t generation = generation_;
    std::uint32_t now = platform::tickCount();
    machine_.received(std::int32_t(count), now);
    bool pictureRelayed = false;
    bool sessionEnded = false;
    for (int step = 0; step < CConnectionMachine::kMaxStepsPerPump; ++step) {
      ReplyStatus status;
      const CConnectionMachine::Step result = machine_.step(*this, status);
      if (result == CConnectionMachine::Step::Failed) return connectionLost();
      if (result == CConnectionMachine::Step::NeedBytes) break;
      pictureRelayed = pictureRelayed || picture_ != nullptr;
      if (!deliver() || outdated(generation)) return; // a callback retired the link
      if (status.words[0] == protocol::kReplyEnd) sessionEnded = true;
    }
    if (sessionEnded) {
      // The recorder ended the session: its reply has gone to the browsers; connect afresh.
      closeTransport();
      return pauseThenConnect();
    }
    now = platform::tickCount();
    if (answered_) machine_.answered();
    answered_ = false;
    if (machine_.watchdogExpired(now)) return connectionLost();
    // The picture has gone to the browsers already: the next one may be asked for.
    if (pictureRelayed) machine_.handedOver(now, false, 0);
    if (!requestDue(now)) return;
    read();
    armPaceTimer();
  }

  // Passes on what the last reply brought: the picture first, then its other items.
  bool deliver() {
    const std::uint64_t generation = generation_;
    if (SharedBytes picture = std::move(picture_)) {
      picture_.reset();
      pictures_.fetch_add(1, std::memory_order_relaxed);
      if (events_.picture) events_.picture(std::move(picture));
      if (outdated(generation)) return false;
    }
    if (SharedBytes control = std::move(control_)) {
      control_.reset();
      if (events_.control) events_.control(std::move(control), controlCode_);
      if (outdated(generation)) return false;
    }
    return true;
  }

  // Queues and writes the next-picture request once the pace allows. False when the
  // connection was lost.
  bool requestDue(std::uint32_t now) {
    if (writing_ || machine_.pendingLength() > 0) return true; // the request under way first
    const int queued = machine_.queueDueRequest(now, 0);
    if (queued < 0) {
      connectionLost();
      return false;
    }
    if (queued > 0) write();
    return true;
  }

  void write() {
    if (writing_ || machine_.pendingLength() == 0) return;
    writing_ = true;
    const std::uint64_t generation = generation_;
    boost::asio::async_write(
        socket_, boost::asio::buffer(machine_.pendingOutput(), std::size_t(machine_.pendingLength())),
        [self = shared_from_this(), generation](const boost::system::error_code& error, std::size_t count) {
          if (self->outdated(generation)) return;
          self->writing_ = false;
          self->guarded([&] {
            if (error) return self->connectionLost();
            self->machine_.sent(std::int32_t(count));
            if (self->requestDue(platform::tickCount())) self->armPaceTimer();
          });
        });
  }

  // The timer wakes the link for the request's pace and the watchdog. It is set again only
  // when the machine needs a call sooner than it is set for: bytes that keep the watchdog
  // content cost no timer operation. The watchdog is looked at a little after its limit,
  // as the Receiver thread looks between passes: a browser waiting for a first picture
  // gets its own time-out's answer rather than a lost connection.
  void armPaceTimer() {
    const std::uint32_t now = platform::tickCount();
    std::uint32_t wait = machine_.watchdogRemainingMs(now);
    if (wait != CConnectionMachine::kNoCall) wait += CConnection::kIdleWaitMs;
    if (machine_.requestWaiting() && !writing_) wait = std::min(wait, machine_.requestWaitMs(now, 0));
    if (wait == CConnectionMachine::kNoCall) return;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(wait);
    if (timerArmed_ && timerDue_ <= due) return;
    armTimer(wait, [this] {
      const std::uint32_t now = platform::tickCount();
      if (machine_.watchdogExpired(now)) return connectionLost();
      if (requestDue(now)) armPaceTimer();
    });
  }

  template <typename Then>
  void armTimer(std::uint32_t milliseconds, Then then) {
    timerDue_ = Clock::now() + std::chrono::milliseconds(milliseconds);
    timerArmed_ = true;
    timer_.expires_at(timerDue_);
    const std::uint64_t generation = generation_;
    const std::uint64_t sequence = ++timerSequence_;
    timer_.async_wait([self = shared_from_this(), generation, sequence, then](const boost::system::error_code& error) {
      // A timer set again since, or a closed connection, leaves this wait without effect.
      if (error || self->outdated(generation) || sequence != self->timerSequence_) return;
      self->timerArmed_ = false;
      self->guarded(then);
    });
  }

  void connectionLost() {
    if (retired_) return;
    const std::uint64_t generation = generation_;
    closeTransport();
    if (events_.lost) events_.lost();
    if (retired_ || generation + 1 != generation_) return;
    pauseThenConnect();
  }

  void end() {
    retire();
    if (events_.ended) events_.ended();
  }

  // Runs a handler's work. No memory for it (a copy of a reply, a callback's) ends this
  // camera: its browsers see the recorder connection break and come back, and the I/O loop
  // counts the failure.
  template <typename Work>
  void guarded(const Work& work) {
    try {
      work();
    } catch (const std::bad_alloc&) {
      end();
      throw;
    }
  }

  bool outdated(std::uint64_t generation) const { return retired_ || generation != generation_; }

  // --- replies (CConnectionMachine::Handler) ---
  void handleReply(const std::uint8_t* message, const CTaggedMessage& reply, ReplyStatus& status) override {
    const CTaggedMessage::ItemEntry* head = nullptr;
    const CTaggedMessage::ItemEntry* body = nullptr;
    for (std::int32_t i = 0; i < reply.itemCount(); ++i) {
      const CTaggedMessage::ItemEntry& item = reply.item(i);
      if (item.id == protocol::kItemHead) head = &item; // as the viewer, the last header counts
      if (item.id == protocol::kItemBody && !body) body = &item;
    }
    // A header without a picture carries nothing to show; a picture larger than any can be
    // is dropped, as the viewer drops it.
    if (head && body && body->dataLength <= limits::kMaxPictureBytes) {
      // A short header item gives only the bytes it has; the rest of the header is zero.
      std::uint8_t header[PictureRecord::kHeaderSize] = {};
      std::memcpy(header, message + head->dataOffset,
                  std::size_t(std::min(head->dataLength, PictureRecord::kHeaderSize)));
      picture_ = std::make_shared<const Bytes>(
          protocol::pictureMessage(header, message + body->dataOffset, std::size_t(body->dataLength)));
      answered_ = true;
      backoff_.reset(); // the recorder delivers: the next failure is retried soon again
    }

    std::int32_t replyCode = -1;
    bool any = false;
    builder_.beginMessage();
    for (std::int32_t i = 0; i < reply.itemCount(); ++i) {
      const CTaggedMessage::ItemEntry& item = reply.item(i);
      if (item.id != protocol::kItemPdat && item.id != protocol::kItemLang) continue;
      if (item.id == protocol::kItemPdat) {
        status = protocol::decodePdat(message + item.dataOffset, item.dataLength);
        if (status.words[0] == protocol::kReplyError) answered_ = true; // it says why no picture comes
        if (replyCode == -1) replyCode = status.words[0];
      }
      // A text table is cut to the room viewers keep for one: a recorder's multi-megabyte
      // table would otherwise be copied to, and held for, every browser.
      const std::int32_t length =
          item.id == protocol::kItemLang ? std::min(item.dataLength, limits::kTextTableRoom) : item.dataLength;
      if (!builder_.addItem(item.id, message + item.dataOffset, length)) return;
      any = true;
    }
    if (!any) return;
    control_ = std::make_shared<const Bytes>(builder_.bytes(), builder_.bytes() + builder_.length());
    controlCode_ = replyCode;
  }

  tcp::resolver resolver_;
  tcp::socket socket_;
  boost::asio::steady_timer timer_;
  const std::string host_;
  const int port_;
  const std::int32_t connectionId_;
  const LinkEvents events_;
  CConnectionMachine machine_;
  ReconnectBackoff backoff_;
  CTaggedMessage builder_; // the control message of the reply at hand
  std::uint64_t generation_ = 0;
  std::uint64_t timerSequence_ = 0;
  Clock::time_point timerDue_;
  bool timerArmed_ = false;
  bool retired_ = false;
  bool writing_ = false;
  bool answered_ = false; // a picture or an error code since the last look
  SharedBytes picture_;   // what the reply at hand brought, passed on after its step
  SharedBytes control_;
  std::int32_t controlCode_ = -1;
  std::atomic<std::uint64_t> pictures_{0};
};

RecorderLink::RecorderLink(boost::asio::io_context& io, const RecorderAddress& recorder, std::int32_t connectionId,
                           LinkEvents events)
    : connectionId_(connectionId), session_(std::make_shared<Session>(io, recorder, connectionId, std::move(events))) {}

RecorderLink::~RecorderLink() { retire(); }

bool RecorderLink::start() {
  try {
    return session_->begin();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void RecorderLink::retire() { session_->retire(); }

std::uint64_t RecorderLink::picturesRelayed() const { return session_->pictures(); }

} // namespace gateway
