// The real Receiver thread against a fake recorder on loopback. A message window on the
// test's thread plays the window side: it logs every posted message and, on kMsgPictureWaiting, takes
// the picture out of the connection's window slot as the viewer does.
// Timing is never asserted tightly: counts have generous bounds, waits have long time-outs.
#include "base/LittleEndian.h"
#include "engine/Connection.h"
#include "engine/NotifyTarget.h"
#include "engine/Protocol.h"
#include "engine/RunTag.h"
#include "engine/StatusIndex.h"
#include "platform/Time.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

constexpr int kLongWaitMs = 10000;

struct TakenPicture {
  std::int32_t sequence;
  std::string pictureNumber;
  Bytes body;
  std::uint32_t receivedTick;
  std::uint32_t requestedTick; // when the request this picture answers was sent
};

class WindowSide {
public:
  explicit WindowSide(CConnection& connection) : connection_(connection) {}

  platform::WindowHandle handle() const { return window_.handle(); }

  // Pumps until `done` holds or `timeoutMs` passed; true when it holds.
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs = kLongWaitMs) {
    return testsupport::waitUntil(done, std::chrono::milliseconds(timeoutMs), [this] {
      window_.pump([this](const platform::WindowMessage& message) { handle(message); }, 10);
    });
  }
  void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
  }

  int count(std::uint32_t message) const {
    int n = 0;
    for (const auto& m : log) n += m.message == message;
    return n;
  }
  int countStatus(std::uint32_t message, std::uintptr_t wParam) const {
    int n = 0;
    for (const auto& m : log) n += m.message == message && m.wParam == wParam && m.lParam == 0;
    return n;
  }
  // The texts of the recorder errors posted, as the window side looks them up.
  std::vector<std::string> statusTexts(const CLanguageTable& language) const {
    std::vector<std::string> texts;
    for (const auto& m : log)
      if (m.message == platform::kMsgStatus && m.lParam != 0)
        texts.emplace_back(language.errorText(std::int32_t(m.lParam)));
    return texts;
  }

  bool taking = true;
  // Frees the slot through releaseWindowSlot, as the viewer does; else by clearing its flag,
  // as a host that does not tell the Receiver thread.
  bool releasing = false;
  // Tells the connection after each take that the picture was painted, as the viewer does.
  bool painting = false;
  std::vector<platform::WindowMessage> log;
  std::vector<TakenPicture> pictures;

private:
  void handle(const platform::WindowMessage& message) {
    log.push_back(message);
    if (message.message != platform::kMsgPictureWaiting || !taking) return;
    PictureRecord& slot = connection_.windowSlot[0];
    if (!slot.valid.load(std::memory_order_acquire)) return;
    ASSERT_TRUE(current_.copyFrom(slot));
    if (releasing)
      connection_.releaseWindowSlot();
    else
      slot.valid.store(false, std::memory_order_release);
    pictures.push_back({current_.sequence, std::string(current_.pictureNumber()),
                        Bytes(current_.data, current_.data + current_.length), current_.receivedTick,
                        current_.timing[PictureRecord::kTimingRequested]});
    if (painting) connection_.picturePainted();
  }

  CConnection& connection_;
  platform::MessageWindow window_;
  PictureRecord current_;
};

HeaderTexts numbered(int n) {
  HeaderTexts texts;
  texts.pictureNumber = std::to_string(n);
  return texts;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A recorder that establishes the connection with a first picture and answers every
// next-picture request with the next picture; picture n has a body of 2000 + n bytes.
FakeRecorder::Responder streamingResponder(std::int32_t flags = 0) {
  auto counter = std::make_shared<std::atomic<int>>(0);
  return [counter, flags](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] == protocol::kRequestOpen) {
      const int n = (*counter)++;
      return join({established(flags), picture(numbered(n), body(2000 + n, std::uint8_t(n)))});
    }
    if (request.words.words[0] == protocol::kRequestNext) {
      const int n = (*counter)++;
      return picture(numbered(n), body(2000 + n, std::uint8_t(n)));
    }
    return {};
  };
}

class ReceiverThreadTest : public ::testing::Test {
protected:
  void startAgainst(int port, const char* host = "127.0.0.1") {
    connection.configure(host, port, 7, &language);
    connection.setNotifyWindow(window.handle());
    ASSERT_TRUE(connection.start());
  }
  void TearDown() override { connection.stop(); }

  // A loopback port that nothing listens on (connects are refused at once).
  static int closedPort() {
    const platform::SocketHandle probe = platform::socketListen("127.0.0.1", 0);
    const int port = platform::socketLocalPort(probe);
    platform::socketClose(probe);
    return port;
  }

  NetworkSession network;
  CLanguageTable language{CLanguageTable::kEnglish};
  CConnection connection;
  WindowSide window{connection};
};

} // namespace

TEST_F(ReceiverThreadTest, OpenRequestThenEstablishedAndAStreamOfPictures) {
  FakeRecorder recorder(streamingResponder(1));
  ASSERT_TRUE(recorder.listening());
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= 6; }));
  ASSERT_TRUE(recorder.waitForRequests(6, kLongWaitMs));
  const auto requests = recorder.requests();
  EXPECT_EQ(requests[0].bytes, rawMessage("PLPR", 32, rawItem("PDAT", 16, pdat(2, 0, 7, 0))));
  for (std::size_t i = 1; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].bytes, rawMessage("PLPR", 32, rawItem("PDAT", 16, pdat(3)))) << i;
  }
  // kMsgStatusIndex "established" comes before the first picture.
  ASSERT_FALSE(window.log.empty());
  EXPECT_EQ(window.log[0].message, platform::kMsgStatusIndex);
  EXPECT_EQ(window.log[0].wParam, std::uintptr_t(kStatusEstablished));
  EXPECT_EQ(connection.recorderFlags(), 1);
  for (std::size_t i = 0; i < window.pictures.size(); ++i) {
    EXPECT_EQ(window.pictures[i].sequence, std::int32_t(i));
    EXPECT_EQ(window.pictures[i].pictureNumber, std::to_string(i));
    EXPECT_EQ(window.pictures[i].body, body(2000 + std::int32_t(i), std::uint8_t(i)));
  }
  // One next-picture request per hand-off: never more than one ahead of the window side.
  connection.stop();
  const std::size_t nextRequests = recorder.requests().size() - 1;
  EXPECT_GE(nextRequests + 1, window.pictures.size());
  EXPECT_LE(nextRequests, window.pictures.size() + 1);
  EXPECT_EQ(recorder.connectionCount(), 1);
}

TEST_F(ReceiverThreadTest, PicturesArrivingWithinOneTickGetLaterStamps) {
  // Small pictures answered at once, taken at once: several arrive within a millisecond. The
  // window side keeps only pictures newer than the one it holds, so every stamp must be later
  // than the one before (else a fresh picture would be thrown away as old).
  FakeRecorder recorder(streamingResponder());
  window.releasing = true;
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= 200; }));
  int notLater = 0;
  for (std::size_t i = 1; i < window.pictures.size(); ++i)
    notLater += std::int32_t(window.pictures[i].receivedTick - window.pictures[i - 1].receivedTick) <= 0;
  EXPECT_EQ(notLater, 0);
  for (std::size_t i = 0; i < window.pictures.size(); ++i) EXPECT_EQ(window.pictures[i].sequence, std::int32_t(i));
}

TEST_F(ReceiverThreadTest, NextRequestsKeepTheirIntervalAndWaitForAPaint) {
  // A recorder that answers at once. Pictures taken but never painted: each request waits
  // for the paint limit. Then painted: the requests follow at the least interval, no sooner.
  FakeRecorder recorder(streamingResponder());
  window.releasing = true;
  connection.setPaintGate(true);
  startAgainst(recorder.port());
  constexpr std::size_t kUnpainted = 4;
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= kUnpainted; }));
  window.painting = true;
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= kUnpainted + 30; }, 4 * kLongWaitMs));
  connection.stop();
  // Picture 0 answers the open request; every later one a next-picture request.
  for (std::size_t i = 2; i < window.pictures.size(); ++i) {
    const std::uint32_t interval = window.pictures[i].requestedTick - window.pictures[i - 1].requestedTick;
    EXPECT_GE(interval, i < kUnpainted ? CConnection::kPaintWaitLimitMs : CConnection::kLeastRequestIntervalMs) << i;
  }
}

TEST_F(ReceiverThreadTest, EndOfCommunicationShowsStatusAndReconnects) {
  FakeRecorder recorder([](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] != protocol::kRequestOpen) return {};
    return buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyEnd)}});
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(recorder.waitForConnections(2, kLongWaitMs));
  ASSERT_TRUE(window.pumpUntil([&] { return window.countStatus(platform::kMsgStatus, kStatusCommClosed) >= 1; }));
  ASSERT_TRUE(recorder.waitForRequests(2, kLongWaitMs));
  EXPECT_EQ(recorder.requests()[1].connection, 2);
  EXPECT_EQ(recorder.requests()[1].words.words[0], protocol::kRequestOpen);
  EXPECT_EQ(window.countStatus(platform::kMsgStatus, kStatusSocket), 0); // not a socket error
}

TEST_F(ReceiverThreadTest, ErrorCodesArePostedAsTexts) {
  std::vector<int> codes;
  for (int code = 1999; code <= 2015; ++code) codes.push_back(code);
  codes.push_back(3000);
  FakeRecorder recorder([codes](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] != protocol::kRequestOpen) return {};
    Bytes replies = established();
    for (int code : codes) {
      const Bytes one = buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyError, 0, 0, code)}});
      replies.insert(replies.end(), one.begin(), one.end());
    }
    return replies;
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.statusTexts(language).size() >= codes.size(); }));
  const auto texts = window.statusTexts(language);
  for (std::size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(texts[i], language.errorText(codes[i])) << codes[i];
  EXPECT_EQ(texts[2014 - 1999], "Internal error!");
  EXPECT_EQ(texts[0], "");                    // 1999
  EXPECT_EQ(texts[1], "The track is empty!"); // 2000
  EXPECT_EQ(texts[2006 - 1999], "The picture has been overwritten!");
}

TEST_F(ReceiverThreadTest, RecorderLanguageTableChangesTheTexts) {
  // The 39-column example: row 1 is used; column 30 is "waitconnect", 32 "zemerr_emptytrack".
  const Bytes lang = langItem(1, 2, 39, {{{1, 30}, "Rekorder verbindet"}, {{1, 32}, "Spur leer"}, {{0, 32}, "row 0"}});
  FakeRecorder recorder([lang](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] != protocol::kRequestOpen) return {};
    return buildMessage({{protocol::kItemLang, lang}, {protocol::kItemPdat, pdat(protocol::kReplyError, 0, 0, 2000)}});
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return !window.statusTexts(language).empty(); }));
  EXPECT_EQ(window.statusTexts(language)[0], "Spur leer");
  EXPECT_STREQ(language.lookup("waitconnect"), "Rekorder verbindet");
  EXPECT_STREQ(language.lookup("camera"), "");
  EXPECT_EQ(language.languageIndex(), 1);
}

TEST_F(ReceiverThreadTest, LanguageTableInEveryReplyDoesNotGrowMemory) {
  const Bytes lang = langItem(0, 1, 39, {{{0, 20}, "Kamera (Rekorder)"}});
  auto counter = std::make_shared<std::atomic<int>>(0);
  FakeRecorder recorder([lang, counter](const RecordedRequest& request) -> Bytes {
    const int n = (*counter)++;
    const Bytes reply = buildMessage({{protocol::kItemLang, lang},
                                      {protocol::kItemHead, head(numbered(n))},
                                      {protocol::kItemBody, body(100, std::uint8_t(n))}});
    return request.words.words[0] == protocol::kRequestOpen ? join({established(), reply}) : reply;
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= 15; }));
  // Each lookup on this thread races with installs on the Receiver thread.
  EXPECT_STREQ(language.lookup("camera"), "Kamera (Rekorder)");
  connection.stop();
  EXPECT_EQ(language.retainedTables(), 1);
}

TEST_F(ReceiverThreadTest, EndlessDifferentLanguageTablesStayWithinTheirBudget) {
  // Before its first picture the recorder sends 100 text tables of 20 kB, each one new:
  // twice the budget.
  FakeRecorder recorder([](const RecordedRequest& request) -> Bytes {
    Bytes all = request.words.words[0] == protocol::kRequestOpen ? established() : Bytes{};
    for (int i = 0; request.words.words[0] == protocol::kRequestOpen && i < 100; ++i) {
      const Bytes lang = langItem(0, 1, 39, {{{0, 20}, std::string(20000, char('a' + i % 26)) + std::to_string(i)}});
      const Bytes message = buildMessage({{protocol::kItemLang, lang}});
      all.insert(all.end(), message.begin(), message.end());
    }
    const Bytes one = picture({}, body(100, 1));
    all.insert(all.end(), one.begin(), one.end());
    return all;
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return !window.pictures.empty(); }, 60000));
  connection.stop();
  EXPECT_LE(language.retainedBytes(), CLanguageTable::kRetentionBudget);
  EXPECT_GT(language.retainedTables(), 40); // tables were taken until the budget was spent
}

TEST_F(ReceiverThreadTest, GarbageIsSkippedInEightByteSteps) {
  FakeRecorder recorder([](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] != protocol::kRequestOpen) return {};
    Bytes garbage(24, 'X');
    const Bytes badLength = rawMessage("PLPR", -100, {});
    return join({garbage, badLength, established(5)});
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.count(platform::kMsgStatusIndex) >= 1; }));
  EXPECT_EQ(connection.recorderFlags(), 5);
  EXPECT_EQ(window.countStatus(platform::kMsgStatus, kStatusSocket), 0);
}

TEST_F(ReceiverThreadTest, TwoHeadsWithOneBodyGiveTheSecondHeader) {
  FakeRecorder recorder([](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] == protocol::kRequestOpen)
      return join({established(), buildMessage({{protocol::kItemHead, head(numbered(1))},
                                                {protocol::kItemHead, head(numbered(2))},
                                                {protocol::kItemBody, body(500, 1)}})});
    return picture(numbered(3), body(10, 3));
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= 2; }));
  EXPECT_EQ(window.pictures[0].pictureNumber, "2");
  EXPECT_EQ(window.pictures[0].sequence, 1);
  EXPECT_EQ(window.pictures[0].body, body(500, 1));
  EXPECT_EQ(window.pictures[1].sequence, 2); // the count rose by two
}

TEST_F(ReceiverThreadTest, BrokenConnectionMidPictureRecovers) {
  const Bytes first = picture(numbered(0), body(50000, 1));
  FakeRecorder recorder;
  recorder.setResponder([&recorder, first](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] != protocol::kRequestOpen) return {};
    if (request.connection == 1) {
      recorder.send(join({established(), Bytes(first.begin(), first.begin() + 20000)}));
      recorder.dropConnection();
      return {};
    }
    return join({established(), first});
  });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return !window.pictures.empty(); }));
  EXPECT_GE(window.countStatus(platform::kMsgStatus, kStatusSocket), 1);
  EXPECT_EQ(recorder.connectionCount(), 2);
  EXPECT_EQ(window.pictures[0].body, body(50000, 1));
  EXPECT_EQ(window.pictures[0].sequence, 0); // counted from the new connection
}

TEST_F(ReceiverThreadTest, FullWindowSlotThrottlesTheRecorder) {
  FakeRecorder recorder(streamingResponder());
  window.taking = false;
  startAgainst(recorder.port());
  // The first picture goes to the window slot, a next request fetches the second, which
  // then waits in the receive slot: two requests in all while the window takes nothing.
  ASSERT_TRUE(recorder.waitForRequests(2, kLongWaitMs));
  // The waiting picture is announced once, however long it waits (many passes here; a slow
  // machine makes fewer, never more).
  ASSERT_TRUE(window.pumpUntil([&] { return window.count(platform::kMsgPictureWaiting) >= 1; }));
  window.pumpFor(500);
  EXPECT_EQ(window.count(platform::kMsgPictureWaiting), 1);
  EXPECT_EQ(recorder.requests().size(), 2u);

  // No window handle: nothing is posted; the announcement asked for again is kept until a
  // window is there.
  connection.setNotifyWindow(nullptr);
  connection.renotify();
  window.pumpFor(200);
  EXPECT_EQ(window.count(platform::kMsgPictureWaiting), 1);
  window.taking = true;
  connection.setNotifyWindow(window.handle());
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= 4; }));
  EXPECT_EQ(window.pictures[0].sequence, 0);
  EXPECT_EQ(window.pictures[1].sequence, 1);
  EXPECT_GE(recorder.requests().size(), 4u);
}

TEST_F(ReceiverThreadTest, PictureWaitingAtABreakIsHandedOverAfterReconnect) {
  FakeRecorder recorder;
  auto counter = std::make_shared<std::atomic<int>>(0);
  recorder.setResponder([counter](const RecordedRequest& request) -> Bytes {
    if (request.words.words[0] == protocol::kRequestOpen && request.connection > 1) return established();
    const int n = (*counter)++;
    const Bytes one = picture(numbered(n), body(300, std::uint8_t(n)));
    return request.words.words[0] == protocol::kRequestOpen ? join({established(), one}) : one;
  });
  window.taking = false;
  startAgainst(recorder.port());
  // Picture 0 waits in the window slot, picture 1 in the receive slot.
  ASSERT_TRUE(recorder.waitForRequests(2, kLongWaitMs));
  window.pumpFor(200);
  recorder.dropConnection();
  ASSERT_TRUE(recorder.waitForRequests(3, kLongWaitMs)); // the open request of connection 2
  window.taking = true;
  connection.renotify(); // as the window side does when it can take again
  ASSERT_TRUE(window.pumpUntil([&] { return window.pictures.size() >= 2; }));
  EXPECT_EQ(window.pictures[0].pictureNumber, "0");
  EXPECT_EQ(window.pictures[1].pictureNumber, "1");
  // Handing picture 1 over asked connection 2 for the next one.
  ASSERT_TRUE(recorder.waitForRequests(4, kLongWaitMs));
  const auto requests = recorder.requests();
  EXPECT_EQ(requests[3].connection, 2);
  EXPECT_EQ(requests[3].words.words[0], protocol::kRequestNext);
}

TEST_F(ReceiverThreadTest, ConnectsWhenTheRecorderComesUp) {
  const int port = closedPort();
  startAgainst(port);
  window.pumpFor(700);
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::Connecting);
  FakeRecorder recorder(streamingResponder(), port);
  if (!recorder.listening()) GTEST_SKIP() << "port " << port << " was taken meanwhile";
  ASSERT_TRUE(window.pumpUntil([&] { return !window.pictures.empty(); }));
  EXPECT_EQ(window.count(platform::kMsgStatus), 0);
}

TEST_F(ReceiverThreadTest, PortsOutOfRangeNeverConnectAndRetryAtTheFixedPace) {
  for (int port : {-1, 70000}) {
    CConnection bad;
    bad.configure("127.0.0.1", port, 1, &language);
    bad.setNotifyWindow(window.handle());
    ASSERT_TRUE(bad.start());
    window.pumpFor(1200);
    EXPECT_EQ(bad.state(), CConnection::ReceiverState::Connecting);
    // One attempt per 500 ms pause plus a pass: about three in 1.2 s, never a busy loop.
    EXPECT_GE(bad.connectAttempts(), 1u) << port;
    EXPECT_LE(bad.connectAttempts(), 6u) << port;
    bad.stop();
    EXPECT_EQ(bad.state(), CConnection::ReceiverState::NotRunning);
  }
  EXPECT_TRUE(window.log.empty()); // a failing connect is silent
}

TEST_F(ReceiverThreadTest, UnresolvableHostNeverConnects) {
  // Two dots in a row: the resolver rejects the name without asking any server.
  startAgainst(80, "camview-unresolvable..invalid");
  window.pumpFor(1200);
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::Connecting);
  EXPECT_GE(connection.connectAttempts(), 1u);
  EXPECT_LE(connection.connectAttempts(), 6u);
  EXPECT_TRUE(window.log.empty());
}

TEST_F(ReceiverThreadTest, StopInEveryState) {
  // Not running: nothing to stop.
  connection.stop();
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::NotRunning);

  // Connecting: nothing listens on the port.
  startAgainst(closedPort());
  window.pumpUntil([&] { return connection.connectAttempts() >= 1; });
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::Connecting);
  connection.stop();
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::NotRunning);

  // Connected, then started again: a fresh connection.
  FakeRecorder recorder(streamingResponder());
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.count(platform::kMsgStatusIndex) >= 1; }));
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::Connected);
  connection.stop();
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::NotRunning);
  EXPECT_FALSE(connection.stream().hasSocket());
  window.pumpFor(30);
  const std::size_t afterStop = window.log.size();
  window.pumpFor(100);
  EXPECT_EQ(window.log.size(), afterStop); // nothing is posted after stop
  ASSERT_TRUE(connection.start());
  ASSERT_TRUE(recorder.waitForConnections(2, kLongWaitMs));
  ASSERT_TRUE(window.pumpUntil([&] { return window.count(platform::kMsgStatusIndex) >= 2; }));

  // A second stop after the first is a no-op; start while running is too.
  EXPECT_TRUE(connection.start());
  connection.stop();
  connection.stop();
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::NotRunning);
}

// --- a recorder that misbehaves ---

namespace {

Bytes errorReply(std::int32_t code) {
  return buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyError, 0, 0, code)}});
}
Bytes endReply() { return buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyEnd)}}); }

// The message with its length field `short` bytes too small: the viewer reads a shorter
// message and loses step with the stream.
Bytes withShortLength(Bytes message, std::int32_t by) {
  le::writeI32(message.data() + 4, le::readI32(message.data() + 4) - by);
  return message;
}

} // namespace

TEST_F(ReceiverThreadTest, RecorderThatStopsAnsweringIsGivenUpAndReconnected) {
  // Connection 1: a picture whose length is 3 bytes short, then silence. Connection 2: half
  // a picture, then silence. Connection 3: pictures as they should be.
  FakeRecorder recorder;
  auto counter = std::make_shared<std::atomic<int>>(0);
  recorder.setResponder([counter](const RecordedRequest& request) -> Bytes {
    const Bytes one = picture(numbered((*counter)++), body(5000, 3));
    if (request.connection == 1) return join({established(), withShortLength(one, 3)});
    if (request.connection == 2) return join({established(), Bytes(one.begin(), one.begin() + 2000)});
    return request.words.words[0] == protocol::kRequestOpen ? join({established(), one}) : one;
  });
  startAgainst(recorder.port());
  // The watchdog gives each silent connection up after 10 s.
  ASSERT_TRUE(window.pumpUntil([&] { return !window.pictures.empty(); }, 60000));
  EXPECT_EQ(recorder.connectionCount(), 3);
  EXPECT_EQ(connection.watchdogExpiries(), 2u);
  // Each time the connection-lost status was shown.
  EXPECT_EQ(window.countStatus(platform::kMsgStatus, kStatusSocket), 2);
}

TEST_F(ReceiverThreadTest, ErrorAnswerThenSilenceKeepsTheConnectionAndItsText) {
  // "Last picture reached" answers the request: no picture comes, and none is missing.
  FakeRecorder recorder([](const RecordedRequest&) { return join({established(), errorReply(2013)}); });
  startAgainst(recorder.port());
  ASSERT_TRUE(window.pumpUntil([&] { return window.statusTexts(language).size() == 1; }));
  window.pumpFor(11000); // longer than the watchdog's limit
  EXPECT_EQ(connection.watchdogExpiries(), 0u);
  EXPECT_EQ(recorder.connectionCount(), 1);
  EXPECT_EQ(window.countStatus(platform::kMsgStatus, kStatusSocket), 0);
}

TEST_F(ReceiverThreadTest, SessionsThatEndAtOnceAreRetriedWithGrowingPauses) {
  // Every session is ended right after the open request. Pauses of 0.5, 1, 2 and 4 s allow
  // at most four connections in 3 s (a slow machine makes fewer); without them there were
  // dozens, each with two status messages.
  FakeRecorder recorder([](const RecordedRequest&) { return join({established(), endReply()}); });
  startAgainst(recorder.port());
  ASSERT_TRUE(recorder.waitForConnections(1, kLongWaitMs));
  window.pumpFor(3000);
  EXPECT_LE(recorder.connectionCount(), 4);
  EXPECT_GE(window.countStatus(platform::kMsgStatus, kStatusCommClosed), 1);
}

TEST_F(ReceiverThreadTest, StopReturnsWhileAConnectHangs) {
  // A listener whose accept queue is full drops the connect's SYN: the connect is neither
  // accepted nor refused for minutes. Stop must not wait for it.
  const platform::SocketHandle listener = platform::socketListen("127.0.0.1", 0, 0);
  ASSERT_NE(listener, platform::kNoSocket);
  const int port = platform::socketLocalPort(listener);
  std::vector<platform::SocketHandle> fillers;
  platform::Address loopback = 0;
  ASSERT_TRUE(platform::parseDottedAddress("127.0.0.1", loopback));
  for (int i = 0; i < 8; ++i) {
    fillers.push_back(platform::socketCreate());
    platform::socketConnectStart(fillers.back(), loopback, port);
  }
  startAgainst(port);
  ASSERT_TRUE(window.pumpUntil([&] { return connection.connectAttempts() >= 1; }));
  window.pumpFor(300);
  auto stopped = std::async(std::launch::async, [&] { connection.stop(); });
  // Generous: a stop that waited for the connect would take minutes.
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  stopped.wait();
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::NotRunning);
  for (platform::SocketHandle filler : fillers) platform::socketClose(filler);
  platform::socketClose(listener);
}

TEST(NotifyTarget, NothingReachesAWindowAfterItWasTakenAway) {
  platform::MessageWindow window;
  NotifyTarget target;
  target.setRun(3);
  target.setWindow(window.handle());
  std::atomic<bool> done{false};
  std::atomic<int> posted{0};
  std::thread poster([&] {
    while (!done.load())
      if (target.post(platform::kMsgStatus, kStatusSocket, 0)) posted.fetch_add(1);
  });
  testsupport::waitUntil([&] { return posted.load() >= 100; });
  target.setWindow(nullptr);
  // What was posted before is queued; from now on nothing arrives, however long the poster
  // goes on (a host may destroy the window now).
  int tagged = 0;
  const int before = window.pump([&](const platform::WindowMessage& m) { tagged += m.wParam == runtag::tag(3, 1); });
  EXPECT_GE(before, 1);
  EXPECT_EQ(tagged, before);
  platform::sleepMs(50);
  done.store(true);
  poster.join();
  EXPECT_EQ(window.pump([](const platform::WindowMessage&) {}), 0);
}

TEST(ReconnectBackoff, DoublesFromHalfASecondUpToFiveAndStartsAgainAfterAPicture) {
  ReconnectBackoff backoff;
  std::vector<std::uint32_t> pauses;
  for (int i = 0; i < 6; ++i) pauses.push_back(backoff.nextPause());
  EXPECT_EQ(pauses, (std::vector<std::uint32_t>{500, 1000, 2000, 4000, 5000, 5000}));
  backoff.reset();
  EXPECT_EQ(backoff.nextPause(), 500u);
}

TEST(ReceiveWatchdog, ExpiresOnlyAfterSilenceWhileAnAnswerIsDue) {
  ReceiveWatchdog watchdog;
  EXPECT_FALSE(watchdog.expired(100000));  // nothing asked
  const std::uint32_t start = 0xFFFFF000u; // the tick wraps meanwhile
  watchdog.requestSent(start);
  EXPECT_FALSE(watchdog.expired(start + ReceiveWatchdog::kSilenceLimitMs - 1));
  watchdog.bytesArrived(start + 5000);
  EXPECT_FALSE(watchdog.expired(start + ReceiveWatchdog::kSilenceLimitMs + 4999));
  EXPECT_TRUE(watchdog.expired(start + ReceiveWatchdog::kSilenceLimitMs + 5000));
  watchdog.answered();
  EXPECT_FALSE(watchdog.expired(start + 100000));
}

TEST(LanguageTableThreads, LookupsDuringInstallsSeeWholeTables) {
  CLanguageTable table(CLanguageTable::kEnglish);
  const Bytes a = langItem(0, 1, 39, {{{0, 20}, "camera A"}, {{0, 21}, "date A"}});
  const Bytes b = langItem(0, 1, 62, {{{0, 20}, "camera B"}, {{0, 21}, "date B"}});
  std::atomic<bool> done{false};
  std::thread installer([&] {
    for (int i = 0; i < 3000; ++i) {
      const Bytes& item = i % 2 ? a : b;
      table.install(item.data(), std::int32_t(item.size()));
    }
    done.store(true);
  });
  int lookups = 0;
  while (!done.load() || lookups < 100) {
    const std::string camera = table.lookup("camera");
    ASSERT_TRUE(camera == "Camera" || camera == "camera A" || camera == "camera B") << camera;
    ++lookups;
  }
  installer.join();
  EXPECT_EQ(table.retainedTables(), 2);
}

TEST(ReceiverThreadEnded, SocketCreationFailureEndsTheThreadAndAStartReplacesIt) {
  // Without a started socket library (Windows) no socket can be created: the thread posts
  // the socket status and ends by itself. Where sockets need no start-up, this cannot happen.
  const platform::SocketHandle probe = platform::socketCreate();
  if (probe != platform::kNoSocket) {
    platform::socketClose(probe);
    GTEST_SKIP() << "sockets need no library start-up here";
  }
  CLanguageTable language(CLanguageTable::kEnglish);
  CConnection connection;
  WindowSide window(connection);
  connection.configure("127.0.0.1", 1, 0, &language);
  connection.setNotifyWindow(window.handle());
  ASSERT_TRUE(connection.start());
  ASSERT_TRUE(window.pumpUntil([&] { return connection.state() == CConnection::ReceiverState::Ended; }));
  window.pumpFor(50);
  EXPECT_EQ(window.countStatus(platform::kMsgStatus, kStatusSocket), 1);
  // Once sockets work, a start without a stop first replaces the ended thread.
  ASSERT_TRUE(platform::networkStartup());
  ASSERT_TRUE(connection.start());
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::Connecting);
  connection.stop();
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::NotRunning);
  platform::networkCleanup();
}
