// The recorder server in-process on a free port, driven by a raw client: the exchange,
// pacing, several viewers, every fault and shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <thread>

#include "RecorderTestSupport.h"
#include "decoder/PictureSplit.h"
#include "engine/LanguageTable.h"
#include "tests/support/WaitUntil.h"
#include "recorder/server/PictureHeader.h"
#include "recorder/server/RecorderServer.h"
#include "recorder/sources/ImageListSource.h"

using namespace recorder;
using namespace recorder::test;
using namespace protocol;
using Clock = std::chrono::steady_clock;

namespace {

// Waits for the server to close a connection are bounded generously: they end with the event.
constexpr int kCloseWaitMs = 20000;

// A stand-in encoder for tests about the exchange: cheap, and its payload size is chosen.
class FixedSizeEncoder final : public PayloadEncoder {
public:
  explicit FixedSizeEncoder(std::size_t size) : size_(size) {}
  bool encode(const RgbFrame& frame, const EncodeSettings&, std::vector<std::uint8_t>& payload, std::string&) override {
    const std::vector<std::uint8_t> field(size_, frame.pixels.empty() ? 0 : frame.pixels[0]);
    wavelet::assemblePicturePayload(field.data(), static_cast<std::uint32_t>(field.size()), nullptr, 0, payload);
    return true;
  }

private:
  std::size_t size_;
};

ServerOptions quickOptions(std::size_t payloadSize = 2000) {
  ServerOptions options;
  options.port = 0;
  options.picturesPerSecond = 0; // as fast as asked
  options.encoder = std::make_shared<FixedSizeEncoder>(payloadSize);
  options.statusIntervalMs = 0;
  return options;
}

ServerOptions withFaults(const char* rules) {
  ServerOptions options = quickOptions();
  std::string error;
  EXPECT_TRUE(options.faults.parse(rules, error)) << error;
  return options;
}

class Recorder {
public:
  explicit Recorder(ServerOptions options) : server_(std::move(options), log_) {
    std::string error;
    started_ = server_.start(error);
    EXPECT_TRUE(started_) << error;
  }
  ~Recorder() { server_.stop(); }
  int port() const { return server_.port(); }
  RecorderServer& server() { return server_; }
  std::string log() {
    server_.stop();
    return log_.str();
  }

private:
  std::ostringstream log_; // written under the log's lock, read after stop
  RecorderServer server_;
  bool started_ = false;
};

// Opens a viewer and checks the "connection established" reply; returns it.
std::optional<Message> open(RawViewer& viewer, int port, std::int32_t id) {
  if (!viewer.connect(port) || !viewer.sendOpen(id)) return std::nullopt;
  return viewer.readMessage();
}

bool isReply(const std::optional<Message>& message, std::int32_t code, std::int32_t parameter) {
  if (!message || message->tag != kTagMessage) return false;
  const auto words = message->pdat();
  return words && words->words[0] == code && words->words[3] == parameter;
}

PictureHeaderBytes headerOf(const Message& message) {
  PictureHeaderBytes header{};
  const Item* item = message.find(kTagHead);
  if (item && item->data.size() == header.size()) std::copy(item->data.begin(), item->data.end(), header.begin());
  return header;
}

// Reads a picture message, asking for the next one afterwards.
bool takePicture(RawViewer& viewer, std::optional<Message>* out = nullptr) {
  auto message = viewer.readMessage();
  const bool ok = message && message->isPicture();
  if (out) *out = std::move(message);
  return ok && viewer.sendNext();
}

// A connection attempt while the server must still be refusing (`refusingUntil` is the
// earliest its refusal can end) fails; an attempt that ends later proves nothing.
void expectRefusedWhileRefusing(int port, Clock::time_point refusingUntil) {
  RawViewer viewer;
  const bool connected = viewer.connect(port);
  if (Clock::now() < refusingUntil) {
    EXPECT_FALSE(connected);
  }
}

// Tries to connect until the server accepts again (bounded generously).
bool waitUntilAccepted(int port) {
  RawViewer viewer;
  return testsupport::waitUntil([&] { return viewer.connect(port); }, std::chrono::seconds(20),
                                [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
}

} // namespace

TEST(RecorderServer, OpensWithEstablishedThenSendsTheFirstPictureUnasked) {
  Recorder recorder(quickOptions());
  RawViewer viewer;
  const auto established = open(viewer, recorder.port(), 7);
  ASSERT_TRUE(isReply(established, kReplyEstablished, 0));
  EXPECT_EQ(established->find(kTagLang), nullptr); // no table unless asked for
  const auto picture = viewer.readMessage();
  ASSERT_TRUE(picture && picture->isPicture());
  const auto header = headerOf(*picture);
  EXPECT_EQ(headerText(header, kHeaderCamera), "Camera 7");
  EXPECT_EQ(headerText(header, kHeaderNumber), "1");
  EXPECT_EQ(headerText(header, kHeaderInfo), "test pattern, id 7");
  EXPECT_EQ(headerText(header, kHeaderDate).size(), 8u);
  EXPECT_EQ(headerText(header, kHeaderTime)[2], ':');
  EXPECT_NE(header[kHeaderStandardOffset], 0);
}

TEST(RecorderServer, FlagsStandardLevelAndTextsFollowTheOptions) {
  ServerOptions options = quickOptions();
  options.diagnostics = true;
  options.encoding.standard576 = false;
  options.encoding.level = 2;
  options.camera = "Gate";
  options.text1 = "REC";
  options.text2 = "Hall";
  options.text3 = "*";
  Recorder recorder(options);
  RawViewer viewer;
  EXPECT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 1));
  const auto picture = viewer.readMessage();
  ASSERT_TRUE(picture && picture->isPicture());
  const auto header = headerOf(*picture);
  EXPECT_EQ(header[kHeaderStandardOffset], 0);
  EXPECT_EQ(le::readU32(header.data() + kHeaderLevelOffset), 2u);
  EXPECT_EQ(headerText(header, kHeaderCamera), "Gate");
  EXPECT_EQ(headerText(header, kHeaderShortText), "REC");
  EXPECT_EQ(headerText(header, kHeaderInfo), "Hall");
  EXPECT_EQ(headerText(header, kHeaderMark), "*");
}

TEST(RecorderServer, DeliversTheLanguageTableWithTheEstablishedReply) {
  ServerOptions options = quickOptions();
  options.language = builtInLanguageTable(true);
  Recorder recorder(options);
  RawViewer viewer;
  const auto established = open(viewer, recorder.port(), 1);
  ASSERT_TRUE(isReply(established, kReplyEstablished, 0));
  const Item* lang = established->find(kTagLang);
  ASSERT_NE(lang, nullptr);
  CLanguageTable table;
  table.install(lang->data.data(), static_cast<std::int32_t>(lang->data.size()));
  EXPECT_STREQ(table.lookup("waitconnect"), "Verbindungsaufbau...");
  EXPECT_STREQ(table.lookup("info_establish"), "Die Verbindung wurde aufgebaut.");
}

TEST(RecorderServer, SendsExactlyOnePicturePerRequest) {
  Recorder recorder(quickOptions());
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  auto picture = viewer.readMessage();
  ASSERT_TRUE(picture && picture->isPicture());
  EXPECT_TRUE(viewer.quietFor(300)); // nothing more until asked
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(viewer.sendNext());
  for (int i = 0; i < 3; ++i) {
    picture = viewer.readMessage();
    ASSERT_TRUE(picture && picture->isPicture());
    EXPECT_EQ(headerText(headerOf(*picture), kHeaderNumber), std::to_string(i + 2));
  }
  EXPECT_TRUE(viewer.quietFor(300));
}

TEST(RecorderServer, IgnoresRequestsBeforeTheOpenAndUnknownCodes) {
  Recorder recorder(quickOptions());
  RawViewer viewer;
  ASSERT_TRUE(viewer.connect(recorder.port()));
  ASSERT_TRUE(viewer.sendNext());
  ASSERT_TRUE(viewer.sendRequest(77));
  EXPECT_TRUE(viewer.quietFor(200));
  ASSERT_TRUE(viewer.sendOpen(4));
  EXPECT_TRUE(isReply(viewer.readMessage(), kReplyEstablished, 0));
  const auto picture = viewer.readMessage();
  ASSERT_TRUE(picture && picture->isPicture());
  EXPECT_TRUE(viewer.quietFor(200)); // the early request did not count
}

TEST(RecorderServer, ClosesAStreamWhoseRequestLengthIsImpossible) {
  Recorder recorder(quickOptions());
  RawViewer viewer;
  ASSERT_TRUE(viewer.connect(recorder.port()));
  auto bytes = requestMessage(kRequestOpen, 1);
  le::writeU32(bytes.data() + 4, 1u << 30);
  ASSERT_TRUE(viewer.sendBytes(bytes));
  EXPECT_TRUE(viewer.closedWithin(kCloseWaitMs));
}

TEST(RecorderServer, NeverSendsFasterThanTheRateAskedFor) {
  ServerOptions options = quickOptions();
  options.picturesPerSecond = 20;
  Recorder recorder(options);
  RawViewer viewer;
  // Measured from before the open request: no picture can go out earlier, so nine pictures
  // take at least eight whole intervals, however late this thread reads them.
  const auto beforeOpen = Clock::now();
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(viewer.sendNext()); // asked for far more than the rate allows
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(viewer.readMessage());
  const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - beforeOpen).count();
  EXPECT_GE(span, 8 * 50);
}

TEST(RecorderServer, ServesSeveralViewersAtOnce) {
  Recorder recorder(quickOptions());
  constexpr int kViewers = 4;
  RawViewer viewers[kViewers];
  for (int i = 0; i < kViewers; ++i)
    ASSERT_TRUE(isReply(open(viewers[i], recorder.port(), 10 + i), kReplyEstablished, 0));
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < kViewers; ++i) {
      std::optional<Message> picture;
      ASSERT_TRUE(takePicture(viewers[i], &picture));
      EXPECT_EQ(headerText(headerOf(*picture), kHeaderCamera), "Camera " + std::to_string(10 + i));
    }
  EXPECT_EQ(recorder.server().activeSessions(), kViewers);
  EXPECT_EQ(recorder.server().connectionsAccepted(), static_cast<std::uint64_t>(kViewers));
}

TEST(RecorderServer, ASlowViewerDoesNotHoldUpTheOthers) {
  Recorder recorder(quickOptions(1 << 20)); // 1 MB pictures fill the socket buffers fast
  RawViewer slow;
  ASSERT_TRUE(slow.connect(recorder.port()));
  ASSERT_TRUE(slow.sendOpen(1));
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(slow.sendNext()); // and never reads
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  RawViewer quick;
  ASSERT_TRUE(isReply(open(quick, recorder.port(), 2), kReplyEstablished, 0));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(takePicture(quick)) << i;
  // Stopping the server does not wait for the slow viewer to read.
  recorder.server().stop();
  EXPECT_TRUE(quick.closedWithin(kCloseWaitMs));
  EXPECT_EQ(recorder.server().activeSessions(), 0);
}

TEST(RecorderServer, StopClosesEveryConnectionAndFreesThePort) {
  auto recorder = std::make_unique<Recorder>(quickOptions());
  const int port = recorder->port();
  RawViewer a, b;
  ASSERT_TRUE(isReply(open(a, port, 1), kReplyEstablished, 0));
  ASSERT_TRUE(b.connect(port));
  const std::string log = recorder->log(); // stops
  EXPECT_TRUE(a.closedWithin(kCloseWaitMs));
  EXPECT_TRUE(b.closedWithin(kCloseWaitMs));
  EXPECT_NE(log.find("#1: connected"), std::string::npos) << log;
  EXPECT_NE(log.find("#1 id 1: open request"), std::string::npos) << log;
  EXPECT_NE(log.find("closed (recorder stopping)"), std::string::npos) << log;
  recorder.reset();
  ServerOptions again = quickOptions();
  again.port = port;
  Recorder second(again); // the same port binds at once
  RawViewer c;
  EXPECT_TRUE(isReply(open(c, port, 1), kReplyEstablished, 0));
}

TEST(RecorderServer, ClosesConnectionsBeyondTheViewerLimit) {
  ServerOptions options = quickOptions();
  options.maxViewers = 1;
  Recorder recorder(options);
  RawViewer first, second;
  ASSERT_TRUE(isReply(open(first, recorder.port(), 1), kReplyEstablished, 0));
  ASSERT_TRUE(second.connect(recorder.port()));
  EXPECT_TRUE(second.closedWithin(kCloseWaitMs));
  EXPECT_EQ(recorder.server().connectionsRefused(), 1u);
  EXPECT_TRUE(takePicture(first));
}

TEST(RecorderServer, StillImagesArriveAsTheyWereWithinTheEncodersQuality) {
  ServerOptions options;
  options.port = 0;
  options.picturesPerSecond = 0;
  options.quiet = true;
  const RgbFrame image = gradientImage(576);
  options.stills =
      std::make_shared<ImageListSource>(std::vector<ImageListSource::Still>{{"gradient.png", image}}, 720, 576);
  Recorder recorder(options);
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  for (int i = 0; i < 2; ++i) { // the second picture comes from the encoded-stills cache
    std::optional<Message> picture;
    ASSERT_TRUE(takePicture(viewer, &picture));
    EXPECT_EQ(headerText(headerOf(*picture), kHeaderInfo), "gradient.png");
    const auto decoded = decodePayload(picture->find(kTagBody)->data, true, 0);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 696);
    EXPECT_EQ(decoded->height, 576);
    EXPECT_GT(psnr(image, *decoded), 30.0);
  }
}

TEST(RecorderServer, LivePatternDecodesAtEveryLevel) {
  ServerOptions options;
  options.port = 0;
  options.picturesPerSecond = 0;
  options.quiet = true;
  options.encoding.level = 3;
  Recorder recorder(options);
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  std::optional<Message> picture;
  ASSERT_TRUE(takePicture(viewer, &picture));
  const auto& body = picture->find(kTagBody)->data;
  ASSERT_TRUE(decodePayload(body, true, 0).has_value());
  const auto small = decodePayload(body, true, 3);
  ASSERT_TRUE(small.has_value());
  EXPECT_LE(small->width, 672 / 8); // the decoder may round the reduced width down
  EXPECT_GE(small->width, 672 / 8 - 8);
  EXPECT_EQ(small->height, 576 / 8);
}

namespace {
// Numbers its pictures: each payload's field bytes are the encode's number.
class CountingEncoder final : public PayloadEncoder {
public:
  bool encode(const RgbFrame&, const EncodeSettings&, std::vector<std::uint8_t>& payload, std::string&) override {
    const int number = ++calls;
    const std::vector<std::uint8_t> field(64, static_cast<std::uint8_t>(number));
    wavelet::assemblePicturePayload(field.data(), 64, nullptr, 0, payload);
    return true;
  }
  std::atomic<int> calls{0};
};
} // namespace

TEST(RecorderServer, ViewersOfOneConnectionIdShareTheCamerasPictures) {
  auto encoder = std::make_shared<CountingEncoder>();
  ServerOptions options = quickOptions();
  options.encoder = encoder;
  options.picturesPerSecond = 1.0 / 60; // a camera makes at most one picture a minute
  const auto period = std::chrono::seconds(60);
  Recorder recorder(options);
  // Three viewers of one id take their first pictures well within a minute, so at most one
  // period boundary falls among them: two at least share a picture, made once.
  const auto begin = Clock::now();
  RawViewer viewers[3];
  std::set<std::vector<std::uint8_t>> distinct;
  for (RawViewer& viewer : viewers) {
    ASSERT_TRUE(isReply(open(viewer, recorder.port(), 9), kReplyEstablished, 0));
    const auto picture = viewer.readMessage();
    ASSERT_TRUE(picture && picture->isPicture());
    distinct.insert(picture->find(kTagBody)->data);
  }
  if (Clock::now() - begin >= period) GTEST_SKIP() << "the three pictures took longer than a camera period";
  EXPECT_LE(distinct.size(), 2u);
  EXPECT_EQ(encoder->calls.load(), static_cast<int>(distinct.size()));
}

TEST(RecorderServer, ReadyCamerasAnswerAViewersFirstPictureWithoutAnEncode) {
  auto encoder = std::make_shared<CountingEncoder>();
  ServerOptions options = quickOptions();
  options.encoder = encoder;
  options.readyCameras = 2;
  options.idlePicturesPerSecond = 0.01; // no renewal while the test runs
  Recorder recorder(options);
  ASSERT_TRUE(testsupport::waitUntil([&] { return encoder->calls.load() == 2; }, std::chrono::seconds(20),
                                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }));
  RawViewer ready, other;
  ASSERT_TRUE(isReply(open(ready, recorder.port(), 2), kReplyEstablished, 0));
  const auto first = ready.readMessage();
  ASSERT_TRUE(first && first->isPicture());
  EXPECT_EQ(encoder->calls.load(), 2); // camera 2's ready picture
  ASSERT_TRUE(ready.sendNext());
  const auto second = ready.readMessage();
  ASSERT_TRUE(second && second->isPicture());
  EXPECT_EQ(encoder->calls.load(), 3); // then pictures of its own
  EXPECT_NE(first->find(kTagBody)->data, second->find(kTagBody)->data);
  ASSERT_TRUE(isReply(open(other, recorder.port(), 3), kReplyEstablished, 0));
  const auto third = other.readMessage();
  ASSERT_TRUE(third && third->isPicture());
  EXPECT_EQ(encoder->calls.load(), 4); // camera 3 is not kept ready
}

// --- faults ---

TEST(RecorderFaults, CloseAfterSomePictures) {
  Recorder recorder(withFaults("at 2 close"));
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  ASSERT_TRUE(takePicture(viewer));
  ASSERT_TRUE(takePicture(viewer));
  std::size_t extra = 0;
  EXPECT_TRUE(viewer.closedWithin(kCloseWaitMs, &extra));
  EXPECT_EQ(extra, 0u);
  EXPECT_NE(recorder.log().find("fault \"at 2 close\""), std::string::npos);
}

TEST(RecorderFaults, EndOnOpenRepliesCodeFourInsteadOfEstablished) {
  Recorder recorder(withFaults("open end"));
  RawViewer viewer;
  EXPECT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEnd, 0));
  EXPECT_TRUE(viewer.closedWithin(kCloseWaitMs));
}

TEST(RecorderFaults, EndLaterAndErrorCodesAndOtherReplies) {
  Recorder recorder(withFaults("at 1 error 2013; at 2 reply 99 5; at 3 end"));
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  ASSERT_TRUE(takePicture(viewer));
  EXPECT_TRUE(isReply(viewer.readMessage(), kReplyError, 2013));
  ASSERT_TRUE(takePicture(viewer)); // the error does not end the stream
  EXPECT_TRUE(isReply(viewer.readMessage(), 99, 5));
  ASSERT_TRUE(takePicture(viewer));
  EXPECT_TRUE(isReply(viewer.readMessage(), kReplyEnd, 0));
  EXPECT_TRUE(viewer.closedWithin(kCloseWaitMs));
}

TEST(RecorderFaults, GarbageBadTagAndUnknownItemsPrecedeIntactMessages) {
  Recorder recorder(withFaults("at 1 garbage 64; at 2 badtag; at 3 baditem"));
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  ASSERT_TRUE(takePicture(viewer));
  std::vector<std::uint8_t> noise;
  ASSERT_TRUE(viewer.readExactly(64, noise));
  for (std::size_t at = 0; at < 64; at += 8)
    EXPECT_NE(le::readU32(noise.data() + at), kTagMessage); // a viewer stepping by 8 never locks on
  ASSERT_TRUE(takePicture(viewer));
  const auto wrong = viewer.readMessage();
  ASSERT_TRUE(wrong.has_value());
  EXPECT_NE(wrong->tag, kTagMessage);
  std::optional<Message> picture;
  ASSERT_TRUE(takePicture(viewer, &picture));
  ASSERT_TRUE(takePicture(viewer, &picture));
  EXPECT_EQ(picture->items.size(), 3u);
  EXPECT_NE(picture->items[1].tag, kTagHead);
  EXPECT_NE(picture->items[1].tag, kTagBody);
}

TEST(RecorderFaults, HalfAPictureThenClose) {
  Recorder recorder(withFaults("at 1 half"));
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  std::optional<Message> whole;
  ASSERT_TRUE(takePicture(viewer, &whole));
  std::vector<std::uint8_t> header;
  ASSERT_TRUE(viewer.readExactly(8, header));
  const std::uint32_t total = le::readU32(header.data() + 4);
  std::size_t rest = 0;
  EXPECT_TRUE(viewer.closedWithin(kCloseWaitMs, &rest));
  EXPECT_EQ(rest + 8, total / 2);
}

TEST(RecorderFaults, StallHoldsThePictureBack) {
  Recorder recorder(withFaults("at 1 stall 400"));
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  ASSERT_TRUE(viewer.readMessage());
  // Measured from before the request: the stall cannot begin earlier.
  const auto asked = Clock::now();
  ASSERT_TRUE(viewer.sendNext());
  const auto picture = viewer.readMessage();
  ASSERT_TRUE(picture && picture->isPicture());
  EXPECT_GE(Clock::now() - asked, std::chrono::milliseconds(400));
}

TEST(RecorderFaults, CorruptPictureFailsToDecodeAndTheNextIsWhole) {
  ServerOptions options;
  options.port = 0;
  options.picturesPerSecond = 0;
  options.quiet = true;
  std::string error;
  ASSERT_TRUE(options.faults.parse("at 1 corrupt", error));
  Recorder recorder(options);
  RawViewer viewer;
  ASSERT_TRUE(isReply(open(viewer, recorder.port(), 1), kReplyEstablished, 0));
  for (int i = 0; i < 3; ++i) {
    std::optional<Message> picture;
    ASSERT_TRUE(takePicture(viewer, &picture));
    EXPECT_EQ(decodePayload(picture->find(kTagBody)->data, true, 0).has_value(), i != 1) << i;
  }
}

TEST(RecorderFaults, RefuseKeepsNewViewersOutForAWhile) {
  Recorder recorder(withFaults("at 1 refuse 1000"));
  RawViewer first;
  const auto beforeTheRule = Clock::now();
  ASSERT_TRUE(isReply(open(first, recorder.port(), 1), kReplyEstablished, 0));
  ASSERT_TRUE(takePicture(first));
  ASSERT_TRUE(takePicture(first)); // the rule fired before this picture: the listener is closed
  expectRefusedWhileRefusing(recorder.port(), beforeTheRule + std::chrono::milliseconds(1000));
  ASSERT_TRUE(takePicture(first)); // viewers already connected go on
  ASSERT_TRUE(waitUntilAccepted(recorder.port()));
  RawViewer later;
  EXPECT_TRUE(isReply(open(later, recorder.port(), 2), kReplyEstablished, 0));
}

TEST(RecorderFaults, RefuseAtStart) {
  ServerOptions options = quickOptions();
  options.refuseAtStartMs = 1000;
  const auto beforeStart = Clock::now();
  Recorder recorder(options);
  expectRefusedWhileRefusing(recorder.port(), beforeStart + std::chrono::milliseconds(1000));
  ASSERT_TRUE(waitUntilAccepted(recorder.port()));
  RawViewer viewer;
  EXPECT_TRUE(isReply(open(viewer, recorder.port(), 2), kReplyEstablished, 0));
}

TEST(RecorderFaults, RulesForOneConnectionIdLeaveTheOthersAlone) {
  Recorder recorder(withFaults("id 2 at 1 close"));
  RawViewer one, two;
  ASSERT_TRUE(isReply(open(one, recorder.port(), 1), kReplyEstablished, 0));
  ASSERT_TRUE(isReply(open(two, recorder.port(), 2), kReplyEstablished, 0));
  ASSERT_TRUE(takePicture(two));
  EXPECT_TRUE(two.closedWithin(kCloseWaitMs));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(takePicture(one));
}
