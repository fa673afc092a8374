#pragma once
// The viewer's connection to its recorder: the reply handling of the protocol, the two
// requests, and the Receiver thread that connects, receives pictures and hands them to the
// window thread. The protocol's parsing, pace and watchdog are the connection's state machine
// (engine/ConnectionMachine.h), which the Receiver thread drives with its socket.
//
// Owner (the viewer, on its window thread):
//   configure(host, port, connectionId, &language); setNotifyWindow(window); setRun(n);
//   start();
//   ... on message kMsgPictureWaiting: if windowSlot[0].valid (acquire), copy the picture out of
//   windowSlot[0] (PictureRecord::copyFrom, or takeFrom to move it), then releaseWindowSlot() (a host that clears
//   windowSlot[0].valid itself is served too, a pass pause later);
//   ... stop(); (also done by the destructor)
// recorderFlags() may be read on any thread.
//
// The thread never blocks for long: between passes it sleeps until the socket is readable or
// it is woken (a stop, a freed window slot, a new window), a name is looked up on a thread of
// its own (platform/NameLookup.h), and connecting waits in short slices. stop() therefore
// returns within a few milliseconds in every state, and an idle connection costs no CPU.
#include "engine/LanguageTable.h"
#include "engine/MessagePeer.h"
#include "engine/NotifyTarget.h"
#include "engine/PictureRecord.h"
#include "engine/ReconnectBackoff.h"
#include "platform/Socket.h"
#include "platform/SocketWaiter.h"
#include "platform/Worker.h"
#include "platform/Window.h"

#include <atomic>
#include <cstdint>

class CConnection : public CMessagePeer {
public:
  static constexpr int kWindowSlots = 1;
  static constexpr int kHostCapacity = 256; // 255 characters and the terminating NUL
  // The longest pause between two passes while something is due that no event announces:
  // a request not yet sent out, a picture waiting for a window slot that a host frees without
  // releaseWindowSlot, a kMsgPictureWaiting whose post failed.
  static constexpr std::uint32_t kPassPauseMs = 20;
  // Otherwise a pass follows the socket becoming readable or a wake-up; without either the
  // thread looks again after this long (the receive watchdog's check).
  static constexpr std::uint32_t kIdleWaitMs = 1000;
  // Waits that cannot be woken (a connect, a name lookup) look for a stop this often.
  static constexpr std::uint32_t kWaitSliceMs = 10;
  // The viewer's pace and its paint gate (engine/ConnectionMachine.h).
  static constexpr std::uint32_t kLeastRequestIntervalMs = CConnectionMachine::kLeastRequestIntervalMs;
  static constexpr std::uint32_t kPaintWaitLimitMs = CConnectionMachine::kPaintWaitLimitMs;
  // A connect not answered within this is given up (and retried after the backoff pause):
  // a recorder answers within milliseconds, TCP retransmits a lost SYN after 1 to 3 s.
  static constexpr std::uint32_t kConnectTimeoutMs = 10000;

  enum class ReceiverState { NotRunning, Connecting, Connected, Ended };

  CConnection();
  ~CConnection() override;

  // Window thread, before start: the recorder's address (copied, cut to 255 characters),
  // port, the identifier sent in the open request, and the table for texts and for
  // installing recorder tables (may be null: then texts are empty and tables are ignored).
  void configure(const char* host, int port, std::int32_t connectionId, CLanguageTable* language);
  // Where messages kMsgPictureWaiting to kMsgStatusIndex go; may be changed at any time, null stops the posting.
  // After it returns nothing is posted into the previous window any more.
  void setNotifyWindow(platform::WindowHandle window);
  platform::WindowHandle notifyWindow() const { return notify_.window(); }
  // The run number the posted messages carry (engine/RunTag.h); before start.
  void setRun(std::uint32_t run) { notify_.setRun(run); }
  // The window side asks for kMsgPictureWaiting again: the next pass posts it if a picture waits (after
  // a new window was attached, the old one may never have seen it).
  void renotify();
  // Window thread: the picture in windowSlot[0] has been taken; the Receiver thread hands the
  // next one over at once (it is woken only when a picture waits for the slot).
  void releaseWindowSlot();
  // Before start: each next-picture request waits until the window side has painted after
  // the picture before it was handed over (picturePainted). Between two pictures the window
  // thread's queue then runs empty, and the host's own timers and input get their turn.
  void setPaintGate(bool on) { paintGate_ = on; }
  // Window thread, after painting: the next request may go (when its interval has passed).
  void picturePainted();

  // Defines both messages (once) and starts the Receiver thread, on a fresh connection with
  // empty picture slots. Posts kMsgStatus with status index 3 and returns false when the
  // definitions cannot be stored; false when the thread cannot be created. True at once
  // when the thread already runs; a thread that has ended by itself is replaced.
  bool start();
  // Defines "PLPR" on both messages unless done already; start does it. False when the
  // definitions cannot be stored.
  bool defineMessages();
  // Stops the Receiver thread: wakes it from any pause or wait and waits for it to return,
  // which takes a few milliseconds whatever the network does. Closes the stream afterwards,
  // so a later start begins with a fresh connection. Nothing when not running.
  void stop();

  // Reply handling (Receiver thread): first every "HEAD" item with the message's first
  // "BODY" into receiveSlot (a "HEAD" without a "BODY" is ignored), then every "PDAT" (reply
  // codes 4, 5, 12) and "LANG" item.
  void handleReply(const std::uint8_t* message, ReplyStatus& status) override;
  // The open request (code 2 with the connection id) and the next-picture request (code 3).
  bool sendOpen();
  bool sendNext();
  // Moves the complete picture in receiveSlot to the empty windowSlot[0]; the next picture is
  // asked for once that is due (sendDueRequest).
  void handOver();
  // Sends the next-picture request held back since the last hand-over once the pace allows
  // it. False when it could not be sent (the connection is lost).
  bool sendDueRequest(std::uint32_t now);
  // Milliseconds until the held-back request is due; 0 when it is due now.
  std::uint32_t requestWaitMs(std::uint32_t now) const;
  // Receiver thread, on a connected pass: posts kMsgPictureWaiting when a picture waits in the window slot
  // and no kMsgPictureWaiting has been posted for it yet. One picture costs one kMsgPictureWaiting, however long the
  // window side takes.
  void noticePictureWaiting();

  bool anyWindowSlotFull() const;
  std::int32_t recorderFlags() const { return recorderFlags_.load(std::memory_order_acquire); }
  ReceiverState state() const { return state_.load(std::memory_order_acquire); }
  // Pictures received on the current connection (Receiver thread; others read it after stop).
  std::int32_t pictureCount() const { return pictureCount_; }
  // Connect attempts since construction (any thread): shows that a connection that cannot
  // be made is retried after pauses, not in a busy loop.
  std::uint32_t connectAttempts() const { return connectAttempts_.load(std::memory_order_acquire); }
  // Pictures received and lost on the way to the window slot for lack of memory, or larger
  // than any picture can be (any thread).
  std::uint32_t picturesDropped() const { return picturesDropped_.load(std::memory_order_acquire); }
  // Connections given up because the recorder stopped answering (any thread).
  std::uint32_t watchdogExpiries() const { return watchdogExpiries_.load(std::memory_order_acquire); }
  const char* host() const { return host_; }
  int port() const { return port_; }
  std::int32_t connectionId() const { return connectionId_; }

  // The picture handed to the window side; windowSlot[i].valid publishes it.
  PictureRecord windowSlot[kWindowSlots];
  // The picture being received (Receiver thread only while it runs).
  PictureRecord receiveSlot;

private:
  enum class ConnectOutcome { Connected, Failed, NoSocket, Stopped };

  static unsigned threadEntry(void* argument);
  void run();
  // One connected pass: receive, hand over, notice. False when the connection was closed.
  bool connectedPass(ReplyStatus& status);
  ConnectOutcome connectToRecorder();
  // The recorder's address: 1 found, 0 not found, -1 a stop came first.
  int resolveHost(platform::Address& address);
  // Pauses the thread; true when a stop was requested (at once, or during the pause).
  bool pause(std::uint32_t milliseconds);
  // After a connected pass: sleeps until there is something to do; true on a stop request.
  bool waitForWork();
  std::uint32_t nextWaitMs() const;
  // A stamp for a picture that has just arrived, later than the previous picture's.
  std::uint32_t receiveStamp();
  bool stopRequested() const { return worker_.stopRequested(); }
  bool post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) const;
  void storePicture(const CTaggedMessage::ItemEntry& head, const std::uint8_t* message);
  void handleStatus(const std::uint8_t* data, std::int32_t length, ReplyStatus& status);

  char host_[kHostCapacity] = {};
  int port_ = -1;
  std::int32_t connectionId_ = 0;
  platform::Worker worker_;       // the Receiver thread
  platform::SocketWaiter waiter_; // woken by stop, releaseWindowSlot and renotify
  std::atomic<bool> ended_{false};
  std::atomic<ReceiverState> state_{ReceiverState::NotRunning};
  NotifyTarget notify_;
  std::atomic<bool> noticePosted_{false}; // a kMsgPictureWaiting was posted for the picture in the window slot
  CLanguageTable* language_ = nullptr;
  std::atomic<std::int32_t> recorderFlags_{0};
  std::int32_t pictureCount_ = 0;
  std::atomic<std::uint32_t> connectAttempts_{0};
  std::atomic<std::uint32_t> watchdogExpiries_{0};
  std::atomic<std::uint32_t> picturesDropped_{0};
  bool paintGate_ = false;               // set before start
  std::atomic<std::uint32_t> paints_{0}; // the window side's paints, counted
  // Receiver thread only.
  ReconnectBackoff backoff_;
  bool answered_ = false; // this pass brought a picture or an error code
  bool stamped_ = false;  // a picture has been stamped: lastStamp_ holds its tick
  std::uint32_t lastStamp_ = 0;
};
