#pragma once
// A browser viewer reduced to its protocol: a WebSocket client that sends the viewer's
// requests and reads the gateway's replies; plain HTTP and silent clients. The recorder
// behind the gateway is the tests' fake recorder streaming checkable pictures.
#include "engine/Protocol.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/ProtocolMessages.h"
#include "tests/support/WaitUntil.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gatewaytest {

// Waits for a condition that the gateway's threads make true.
using testsupport::waitUntil;

using testsupport::buildMessage;
using testsupport::Bytes;
using testsupport::FakeRecorder;
using testsupport::languageItem;
using testsupport::Message;
using testsupport::parseMessage;
using testsupport::pdat;
using testsupport::PictureStream;

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
