#pragma once
// The viewer's connection to its recorder: the reply handling of the protocol, the two
// requests, and the Receiver thread that connects, receives pictures and hands them to the
// window thread.
//
// Owner (the viewer, on its window thread):
//   configure(host, port, connectionId, &language); setNotifyWindow(window); start();
//   ... on message 1025: if windowSlot[0].valid (acquire), copy the picture out of
//   windowSlot[0] (PictureRecord::copyFrom), then windowSlot[0].valid = false (release);
//   ... stop(); (also done by the destructor)
// recorderFlags() may be read on any thread.
#include "engine/LanguageTable.h"
#include "engine/MessagePeer.h"
#include "engine/PictureRecord.h"
#include "platform/Thread.h"
#include "platform/Window.h"

#include <atomic>
#include <cstdint>

class CConnection : public CMessagePeer {
public:
  static constexpr int kWindowSlots = 1;
  static constexpr int kHostCapacity = 256; // 255 characters and the terminating NUL
  static constexpr std::uint32_t kPassPauseMs = 20;
  static constexpr std::uint32_t kConnectRetryPauseMs = 500;
  static constexpr std::uint32_t kStopPollMs = 10;

  enum class ReceiverState { NotRunning, Connecting, Connected, Ended };

  CConnection();
  ~CConnection() override;

  // Window thread, before start: the recorder's address (copied, cut to 255 characters),
  // port, the identifier sent in the open request, and the table for texts and for
  // installing recorder tables (may be null: then texts are empty and tables are ignored).
  void configure(const char* host, int port, std::int32_t connectionId, CLanguageTable* language);
  // Where messages 1025 to 1027 go; may be changed at any time, null stops the posting.
  void setNotifyWindow(platform::WindowHandle window);
  platform::WindowHandle notifyWindow() const { return notifyWindow_.load(std::memory_order_acquire); }

  // Defines both messages (once) and starts the Receiver thread. Posts 1026 with status
  // index 3 and returns false when the definitions cannot be stored; false when the thread
  // cannot be created. True at once when the thread already runs.
  bool start();
  // Defines "PLPR" on both messages unless done already; start does it. False when the
  // definitions cannot be stored.
  bool defineMessages();
  // Stops the Receiver thread: the stop is noticed at the end of its current pass (at most
  // one 20 ms pause, or a 500 ms pause plus a blocking connect). Closes the stream
  // afterwards, so a later start begins with a fresh connection. Nothing when not running.
  void stop();

  // Reply handling (Receiver thread): first every "HEAD" item with the message's first
  // "BODY" into receiveSlot, then every "PDAT" (reply codes 4, 5, 12) and "LANG" item.
  void handleReply(const std::uint8_t* message, ReplyStatus& status) override;
  // The open request (code 2 with the connection id) and the next-picture request (code 3).
  bool sendOpen();
  bool sendNext();
  // Moves the complete picture in receiveSlot to the empty windowSlot[0], then asks for the
  // next picture. False when that request cannot be sent.
  bool handOver();

  bool anyWindowSlotFull() const;
  std::int32_t recorderFlags() const { return recorderFlags_.load(std::memory_order_acquire); }
  ReceiverState state() const { return state_.load(std::memory_order_acquire); }
  // Pictures received on the current connection (Receiver thread; others read it after stop).
  std::int32_t pictureCount() const { return pictureCount_; }
  // Connect attempts since construction (any thread): shows that a connection that cannot
  // be made is retried at the fixed pace, not in a busy loop.
  std::uint32_t connectAttempts() const { return connectAttempts_.load(std::memory_order_acquire); }
  const char* host() const { return host_; }
  int port() const { return port_; }
  std::int32_t connectionId() const { return connectionId_; }

  // The picture handed to the window side; windowSlot[i].valid publishes it.
  PictureRecord windowSlot[kWindowSlots];
  // The picture being received (Receiver thread only while it runs).
  PictureRecord receiveSlot;

private:
  static unsigned threadEntry(void* argument);
  void run();
  void post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) const;
  void storePicture(const CTaggedMessage::ItemEntry& head, const std::uint8_t* message);
  void handleStatus(const std::uint8_t* data, std::int32_t length, ReplyStatus& status);

  char host_[kHostCapacity] = {};
  int port_ = -1;
  std::int32_t connectionId_ = 0;
  platform::ThreadHandle thread_;
  std::atomic<bool> stopRequest_{false};
  std::atomic<bool> ended_{false};
  std::atomic<ReceiverState> state_{ReceiverState::NotRunning};
  std::atomic<platform::WindowHandle> notifyWindow_{nullptr};
  CLanguageTable* language_ = nullptr;
  std::atomic<std::int32_t> recorderFlags_{0};
  std::int32_t pictureCount_ = 0;
  std::atomic<std::uint32_t> connectAttempts_{0};
};
