#include "hosts/gateway/RecorderLink.h"

#include "engine/MessageWriter.h"
#include "engine/PictureLimits.h"
#include "engine/Protocol.h"
#include "engine/RunTag.h"
#include "engine/StatusIndex.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gateway {

namespace {
constexpr int kPumpWaitMs = 50; // how soon a retire request is noticed
// The link starts its connection once; its messages carry this run number (engine/RunTag.h).
constexpr std::uint32_t kRun = 1;
} // namespace

// The engine's connection, which also passes on the reply items that are not pictures.
class RecorderLink::Connection final : public CConnection {
public:
  explicit Connection(const LinkEvents& events) : events_(events) { protocol::defineMessage(builder_); }

  void handleReply(const std::uint8_t* message, ReplyStatus& status) override {
    CConnection::handleReply(message, status);
    std::int32_t replyCode = -1;
    bool any = false;
    builder_.beginMessage();
    for (std::int32_t i = 0; i < reply().itemCount(); ++i) {
      const CTaggedMessage::ItemEntry& item = reply().item(i);
      if (item.id != protocol::kItemPdat && item.id != protocol::kItemLang) continue;
      // A text table is cut to the room viewers keep for one: a recorder's multi-megabyte
      // table would otherwise be copied to, and held for, every browser.
      const std::int32_t length =
          item.id == protocol::kItemLang ? std::min(item.dataLength, limits::kTextTableRoom) : item.dataLength;
      if (!builder_.addItem(item.id, message + item.dataOffset, length)) return;
      if (item.id == protocol::kItemPdat && replyCode == -1)
        replyCode = protocol::decodePdat(message + item.dataOffset, item.dataLength).words[0];
      any = true;
    }
    if (!any || !events_.control) return;
    events_.control(std::make_shared<const Bytes>(builder_.bytes(), builder_.bytes() + builder_.length()), replyCode);
  }

private:
  const LinkEvents& events_;
  CTaggedMessage builder_; // Receiver thread only
};

RecorderLink::RecorderLink(const RecorderAddress& recorder, std::int32_t connectionId, LinkEvents events)
    : recorder_(recorder), connectionId_(connectionId), events_(std::move(events)),
      connection_(std::make_unique<Connection>(events_)) {}

RecorderLink::~RecorderLink() {
  retire();
  join();
}

bool RecorderLink::start() {
  try {
    thread_ = std::thread([this] { run(); });
    return true;
  } catch (...) {
    return false;
  }
}

void RecorderLink::retire() { retiring_.store(true, std::memory_order_release); }

void RecorderLink::join() {
  if (thread_.joinable()) thread_.join();
}

void RecorderLink::run() {
  connection_->configure(recorder_.host.c_str(), recorder_.port, connectionId_, nullptr);
  connection_->setNotifyWindow(window_.handle());
  connection_->setRun(kRun);
  try {
    if (connection_->start()) {
      // The Receiver thread ends by itself when no socket can be made, or when something it
      // runs failed (no memory for a reply's copy): the link ends with it, so that the camera
      // is closed and its browsers reconnect rather than wait on a camera that sends nothing.
      while (!retiring_.load(std::memory_order_acquire) && connection_->state() != CConnection::ReceiverState::Ended)
        window_.pump([this](const platform::WindowMessage& message) { handle(message); }, kPumpWaitMs);
    }
  } catch (const std::bad_alloc&) {
    // No memory for a picture's copy: this camera ends (its browsers see the recorder
    // connection break and reconnect), the gateway and its other cameras go on.
  }
  connection_->setNotifyWindow(nullptr);
  connection_->stop();
  try {
    if (events_.ended) events_.ended();
  } catch (const std::bad_alloc&) {
    // The hub cannot be told: it finds the link when it retires or shuts down.
  }
}

void RecorderLink::handle(const platform::WindowMessage& message) {
  // wParam carries the run number above the message's value.
  if (runtag::runOf(message.wParam) != kRun) return;
  if (message.message == platform::kMsgPictureWaiting) {
    PictureRecord& slot = connection_->windowSlot[0];
    if (!slot.valid.load(std::memory_order_acquire)) return;
    auto bytes = std::make_shared<const Bytes>(pictureMessage(slot));
    connection_->releaseWindowSlot(); // the Receiver thread asks for the next one at once
    pictures_.fetch_add(1, std::memory_order_relaxed);
    if (events_.picture) events_.picture(std::move(bytes));
  } else if (message.message == platform::kMsgStatus && message.lParam == 0 &&
             runtag::valueOf(message.wParam) == kStatusSocket) {
    if (events_.lost) events_.lost();
  }
  // Reply codes, recorder errors and text tables travel as control messages (above); the
  // texts the engine posts for them are this gateway's, not the browser's.
}

Bytes RecorderLink::pictureMessage(const PictureRecord& picture) {
  const std::int32_t bodyLength = picture.data ? std::max(picture.length, 0) : 0;
  return protocol::pictureMessage(picture.header, picture.data, std::size_t(bodyLength));
}

} // namespace gateway
