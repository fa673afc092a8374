// A recorder link on an I/O loop of its own against a recorder this test plays: what it
// asks for, what it passes on, and how it connects again after the session ends and after
// the connection breaks.
#include "engine/MessageWriter.h"
#include "engine/Protocol.h"
#include "hosts/gateway/RecorderLink.h"
#include "tests/engine/ProtocolBuilders.h"
#include "tests/support/WaitUntil.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using boost::asio::ip::tcp;
using testsupport::Bytes;

// The recorder's side: blocking calls, each bounded by a generous time-out.
class ScriptedRecorder {
public:
  ScriptedRecorder() : acceptor_(io_, tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0)) {}
  int port() const { return acceptor_.local_endpoint().port(); }

  bool accept() {
    socket_ = std::make_unique<tcp::socket>(io_);
    return run([&](auto done) { acceptor_.async_accept(*socket_, done); });
  }
  // Reads one 32-byte request; its code and connection id.
  bool readRequest(std::int32_t& code, std::int32_t& connectionId) {
    Bytes request(32);
    if (!run([&](auto done) { boost::asio::async_read(*socket_, boost::asio::buffer(request), done); })) return false;
    CTaggedMessage parsed;
    if (!protocol::defineMessage(parsed) || !parsed.parseHeader(request.data(), 32) ||
        !parsed.parseItems(request.data(), 32) || parsed.itemCount() != 1)
      return false;
    const ReplyStatus words =
        protocol::decodePdat(request.data() + parsed.item(0).dataOffset, parsed.item(0).dataLength);
    code = words.words[0];
    connectionId = words.words[2];
    return true;
  }
  bool send(const Bytes& bytes) {
    return run([&](auto done) { boost::asio::async_write(*socket_, boost::asio::buffer(bytes), done); });
  }
  void hangUp() { socket_.reset(); }

private:
  template <typename Start>
  bool run(Start start) {
    bool done = false;
    boost::system::error_code result;
    start([&](const boost::system::error_code& error, auto&&...) {
      result = error;
      done = true;
    });
    io_.restart();
    io_.run_for(std::chrono::seconds(30));
    return done && !result;
  }

  boost::asio::io_context io_;
  tcp::acceptor acceptor_;
  std::unique_ptr<tcp::socket> socket_;
};

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
  ScriptedRecorder recorder;
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

  std::int32_t code = 0, id = 0;
  ASSERT_TRUE(recorder.accept());
  ASSERT_TRUE(recorder.readRequest(code, id));
  EXPECT_EQ(code, protocol::kRequestOpen);
  EXPECT_EQ(id, 7);
  // A short header is passed on as the full 208 bytes, zero-filled; the body unchanged.
  const Bytes shortHead(100, 0x41), body = testsupport::body(5000, 3);
  ASSERT_TRUE(recorder.send(testsupport::buildMessage(
      {{protocol::kItemHead, shortHead}, {protocol::kItemBody, body}, {protocol::kItemPdat, testsupport::pdat(5)}})));
  ASSERT_TRUE(recorder.readRequest(code, id));
  EXPECT_EQ(code, protocol::kRequestNext);
  std::uint8_t header[PictureRecord::kHeaderSize] = {};
  std::memcpy(header, shortHead.data(), shortHead.size());
  ASSERT_TRUE(testsupport::waitUntil([&] { return seen.read([&] { return seen.controls.size() == 1; }); }));
  seen.read([&] {
    ASSERT_EQ(seen.pictures.size(), 1u);
    EXPECT_EQ(seen.pictures[0], protocol::pictureMessage(header, body.data(), body.size()));
    EXPECT_EQ(seen.controls[0], testsupport::buildMessage({{protocol::kItemPdat, testsupport::pdat(5)}}));
    EXPECT_EQ(seen.codes[0], 5);
  });

  // The recorder ends the session: its reply is passed on, the link connects afresh without
  // reporting a loss.
  const Bytes end = testsupport::buildMessage({{protocol::kItemPdat, testsupport::pdat(protocol::kReplyEnd)}});
  ASSERT_TRUE(recorder.send(end));
  ASSERT_TRUE(recorder.accept());
  ASSERT_TRUE(recorder.readRequest(code, id));
  EXPECT_EQ(code, protocol::kRequestOpen);
  seen.read([&] {
    ASSERT_EQ(seen.controls.size(), 2u);
    EXPECT_EQ(seen.controls[1], end);
    EXPECT_EQ(seen.lost, 0);
  });

  // The connection breaks: reported, and made again.
  recorder.hangUp();
  ASSERT_TRUE(recorder.accept());
  ASSERT_TRUE(recorder.readRequest(code, id));
  EXPECT_EQ(code, protocol::kRequestOpen);
  EXPECT_EQ(seen.read([&] { return seen.lost; }), 1);

  // Retired on its loop: nothing more is reported, the connection closes.
  boost::asio::post(io, [&] { link->retire(); });
  EXPECT_FALSE(recorder.readRequest(code, id));
  boost::asio::post(io, [&] { link.reset(); });
  work.reset();
  loop.join();
  EXPECT_EQ(seen.read([&] { return seen.lost; }), 1);
}
