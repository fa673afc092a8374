#pragma once
// A recorder whose every byte the test knows, and a browser viewer reduced to its protocol:
// a WebSocket client that sends the viewer's requests and reads the gateway's replies.
#include "platform/Socket.h"
#include "tests/support/WaitUntil.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gatewaytest {

// Waits for a condition that the gateway's threads make true.
using testsupport::waitUntil;

using Bytes = std::vector<std::uint8_t>;

// The items of one "PLPR" message, by tag text.
struct Message {
  std::vector<std::pair<std::string, Bytes>> items;
  const Bytes* find(const std::string& tag) const;
  std::int32_t code() const; // "PDAT" word 0, or -1
};
bool parseMessage(const Bytes& bytes, Message& message);
Bytes buildMessage(const std::vector<std::pair<std::string, Bytes>>& items);
Bytes pdat(std::int32_t w0, std::int32_t w1, std::int32_t w2, std::int32_t w3);

// Serves the recorder protocol on 127.0.0.1: on an open request it answers with code 5
// (flags 1), a "LANG" item and picture 0; every next-picture request gets the next picture.
// Picture n of connection id c: header bytes (c + n + i) & 0xFF, body of bodySize bytes
// (n * 7 + i) & 0xFF.
class FakeRecorder {
public:
  // languageBytes > 0: every picture's reply also carries a "LANG" item of that size.
  explicit FakeRecorder(int bodySize = 1000, int port = 0, int languageBytes = 0);
  ~FakeRecorder();
  int port() const { return port_; }
  int connectionsAccepted() const { return accepted_.load(); }
  void stop(); // closes the listener and every connection

  static Bytes header(std::int32_t id, int n);
  // The number `header` wrote into a picture header (-1 when it is too short).
  static int pictureNumber(const Bytes& header);
  static Bytes body(int n, int size);
  // A table of one text, "xx", padded with zero bytes to `size` when that is larger.
  static Bytes languageItem(int size = 0);

private:
  void acceptLoop();
  void serve(platform::SocketHandle socket);

  int bodySize_;
  int languageBytes_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::thread acceptThread_;
  std::mutex mutex_;
  std::list<std::thread> connections_;
};

// A browser viewer's WebSocket to /camera/NAME of the gateway.
class ViewerClient {
public:
  // `query` is appended to the path ("?token=..."); `host` replaces the gateway's own name.
  // `from`: the client's own address (127.0.0.2 is another client than 127.0.0.1).
  ViewerClient(int gatewayPort, const std::string& recorder, const std::string& origin = "",
               const std::string& query = "", const std::string& host = "", const std::string& from = "");
  bool connected() const { return connected_; }

  void sendOpen(std::int32_t connectionId);
  void sendNext();
  void sendRaw(const Bytes& bytes, bool binary = true);
  // The next message, or false when the connection closed (closeCode() then says how).
  bool read(Message& message);
  // Reads until a message with a "HEAD" item arrives.
  bool readPicture(Message& picture);
  int closeCode() const { return closeCode_; }
  void shrinkReceiveBuffer();

private:
  boost::asio::io_context io_;
  boost::beast::websocket::stream<boost::asio::ip::tcp::socket> ws_{io_};
  bool connected_ = false;
  int closeCode_ = 0;
};

// One plain HTTP exchange with the gateway: the status and the body.
struct HttpAnswer {
  int status = 0;
  std::string body;
};
// A TCP connection to the gateway from `from` that sends `bytes` and then nothing.
class SilentClient {
public:
  SilentClient(int port, const std::string& from = "127.0.0.1", const std::string& bytes = "");
  bool connected() const { return connected_; }
  // Reads until the gateway closes the connection (true) or `seconds` pass (false); what was
  // read is kept in received().
  bool closedByGateway(int seconds = 20);
  // Reads until `text` has been received (true), the connection closes or `seconds` pass.
  bool receives(const std::string& text, int seconds = 20);
  const std::string& received() const { return received_; }

private:
  // Reads until `done` or the end of the connection (true when the connection ended).
  bool readUntil(const std::function<bool()>& done, int seconds);

  boost::asio::io_context io_;
  boost::asio::ip::tcp::socket socket_{io_};
  bool connected_ = false;
  std::string received_;
};

HttpAnswer httpGet(int port, const std::string& target, const std::string& extraHeaders = "",
                   const std::string& method = "GET");

} // namespace gatewaytest
