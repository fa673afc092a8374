// A recorder link on an I/O loop of its own against the test's recorder: what it asks for,
// what it passes on, and how it connects again after the session ends and after the
// connection breaks.
#include "engine/MessageWriter.h"
#include "engine/Protocol.h"
#include "hosts/gateway/RecorderLink.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/ProtocolMessages.h"
#include "tests/support/WaitUntil.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using testsupport::Bytes;

struct Seen {
  std::mutex mutex;
  std::vector<Bytes> pictures, controls;
  std::vector<std::int32_t> codes;
  int lost = 0;
  template <typename Read>
  auto read(Read what) {
    std::lock_guard<std::mutex> lock(mutex);
    return what();
  }
};

} // namespace

TEST(RecorderLink, AsksRelaysAndConnectsAgain) {
  // A short header is passed on as the full 208 bytes, zero-filled; the body unchanged.
  const Bytes shortHead(100, 0x41), body = testsupport::body(5000, 3);
  const Bytes end = testsupport::buildMessage({{protocol::kItemPdat, testsupport::pdat(protocol::kReplyEnd)}});
  // The first connection gets a picture for its open request and the session's end for its
  // next-picture request; later connections get no answer.
  testsupport::FakeRecorder recorder([&](const testsupport::RecordedRequest& request) -> testsupport::Answer {
    if (request.connection != 1) return {};
    if (request.index == 0)
      return testsupport::buildMessage(
          {{protocol::kItemHead, shortHead}, {protocol::kItemBody, body}, {protocol::kItemPdat, testsupport::pdat(5)}});
    return end;
  });
  ASSERT_TRUE(recorder.listening());
  boost::asio::io_context io;
  auto work = boost::asio::make_work_guard(io);
  std::thread loop([&] { io.run(); });
  Seen seen;
  gateway::LinkEvents events;
  events.picture = [&](gateway::SharedBytes message) {
    std::lock_guard<std::mutex> lock(seen.mutex);
    seen.pictures.push_back(*message);
  };
  events.control = [&](gateway::SharedBytes message, std::int32_t code) {
    std::lock_guard<std::mutex> lock(seen.mutex);
    seen.controls.push_back(*message);
    seen.codes.push_back(code);
  };
  events.lost = [&] {
    std::lock_guard<std::mutex> lock(seen.mutex);
    ++seen.lost;
  };
  // A host name: the link resolves it.
  auto link = std::make_unique<gateway::RecorderLink>(io, gateway::RecorderAddress{"rec", "localhost", recorder.port()},
                                                      7, events);
  ASSERT_TRUE(link->start());

  // Open, next, and after the session's end a fresh connection's open, without a loss
  // reported.
  ASSERT_TRUE(recorder.waitForRequests(3, 30000));
  std::vector<testsupport::RecordedRequest> requests = recorder.requests();
  EXPECT_EQ(requests[0].words.words[0], protocol::kRequestOpen);
  EXPECT_EQ(requests[0].connectionId, 7);
  EXPECT_EQ(requests[1].words.words[0], protocol::kRequestNext);
  EXPECT_EQ(requests[2].connection, 2);
  EXPECT_EQ(requests[2].words.words[0], protocol::kRequestOpen);
  std::uint8_t header[PictureRecord::kHeaderSize] = {};
  std::memcpy(header, shortHead.data(), shortHead.size());
  ASSERT_TRUE(testsupport::waitUntil([&] { return seen.read([&] { return seen.controls.size() == 2; }); }));
  seen.read([&] {
    ASSERT_EQ(seen.pictures.size(), 1u);
    EXPECT_EQ(seen.pictures[0], protocol::pictureMessage(header, body.data(), body.size()));
    EXPECT_EQ(seen.controls[0], testsupport::buildMessage({{protocol::kItemPdat, testsupport::pdat(5)}}));
    EXPECT_EQ(seen.codes[0], 5);
    EXPECT_EQ(seen.controls[1], end);
    EXPECT_EQ(seen.lost, 0);
  });

  // The connection breaks: reported, and made again.
  recorder.dropConnection();
  ASSERT_TRUE(recorder.waitForRequests(4, 30000));
  requests = recorder.requests();
  EXPECT_EQ(requests[3].connection, 3);
  EXPECT_EQ(requests[3].words.words[0], protocol::kRequestOpen);
  EXPECT_EQ(seen.read([&] { return seen.lost; }), 1);

  // Retired on its loop: nothing more is reported or asked for.
  boost::asio::post(io, [&] { link->retire(); });
  boost::asio::post(io, [&] { link.reset(); });
  work.reset();
  loop.join();
  recorder.stop();
  EXPECT_EQ(seen.read([&] { return seen.lost; }), 1);
  EXPECT_EQ(recorder.requests().size(), 4u);
}
