#include "tests/gateway/GatewayTestSupport.h"

#include "hosts/gateway/ViewerRequests.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <functional>

namespace gatewaytest {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

// --- ViewerClient ---

ViewerClient::ViewerClient(int gatewayPort, const std::string& recorder, const std::string& origin,
                           const std::string& query, const std::string& host, const std::string& from) {
  beast::error_code error;
  if (!from.empty()) {
    ws_.next_layer().open(tcp::v4(), error);
    if (!error) ws_.next_layer().bind(tcp::endpoint(boost::asio::ip::make_address(from), 0), error);
    if (error) return;
  }
  ws_.next_layer().connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(gatewayPort)),
                           error);
  if (error) return;
  ws_.set_option(websocket::stream_base::decorator([origin](websocket::request_type& request) {
    if (!origin.empty()) request.set(beast::http::field::origin, origin);
  }));
  websocket::response_type response;
  ws_.handshake(response, host.empty() ? "127.0.0.1:" + std::to_string(gatewayPort) : host,
                "/camera/" + recorder + query, error);
  connected_ = !error;
  ws_.binary(true);
}

void ViewerClient::sendRaw(const Bytes& bytes, bool binary) {
  beast::error_code error;
  ws_.binary(binary);
  ws_.write(boost::asio::buffer(bytes), error);
  ws_.binary(true);
}

void ViewerClient::sendOpen(std::int32_t connectionId) {
  sendRaw(gateway::encodeViewerRequest({gateway::ViewerRequest::Open, connectionId}));
}

void ViewerClient::sendNext() { sendRaw(gateway::encodeViewerRequest({gateway::ViewerRequest::Next, 0})); }

bool ViewerClient::read(Message& message) {
  beast::flat_buffer buffer;
  beast::error_code error;
  ws_.read(buffer, error);
  if (error) {
    closeCode_ = ws_.reason().code;
    return false;
  }
  const auto data = buffer.cdata();
  const Bytes bytes(static_cast<const std::uint8_t*>(data.data()),
                    static_cast<const std::uint8_t*>(data.data()) + data.size());
  return parseMessage(bytes, message);
}

bool ViewerClient::readPicture(Message& picture) {
  while (read(picture))
    if (picture.find("HEAD")) return true;
  return false;
}

void ViewerClient::shrinkReceiveBuffer() {
  ws_.next_layer().set_option(boost::asio::socket_base::receive_buffer_size(4096));
}

SilentClient::SilentClient(int port, const std::string& from, const std::string& bytes) {
  beast::error_code error;
  socket_.open(tcp::v4(), error);
  if (!error) socket_.bind(tcp::endpoint(boost::asio::ip::make_address(from), 0), error);
  if (!error) socket_.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(port)), error);
  if (!error && !bytes.empty()) boost::asio::write(socket_, boost::asio::buffer(bytes), error);
  connected_ = !error;
}

bool SilentClient::closedByGateway(int seconds) {
  return readUntil([] { return false; }, seconds);
}

bool SilentClient::receives(const std::string& text, int seconds) {
  readUntil([&] { return received_.find(text) != std::string::npos; }, seconds);
  return received_.find(text) != std::string::npos;
}

bool SilentClient::readUntil(const std::function<bool()>& done, int seconds) {
  bool closed = false;
  char chunk[4096];
  std::function<void()> readMore = [&] {
    socket_.async_read_some(boost::asio::buffer(chunk), [&](beast::error_code error, std::size_t bytes) {
      received_.append(chunk, bytes);
      if (error) {
        closed = true;
        return;
      }
      if (!done()) readMore();
    });
  };
  readMore();
  io_.restart();
  io_.run_for(std::chrono::seconds(seconds));
  if (!io_.stopped()) {
    beast::error_code ignored;
    socket_.cancel(ignored);
    io_.restart();
    io_.run();
  }
  return closed;
}

HttpAnswer httpGet(int port, const std::string& target, const std::string& extraHeaders, const std::string& method) {
  HttpAnswer answer;
  boost::asio::io_context io;
  tcp::socket socket(io);
  beast::error_code error;
  socket.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(port)), error);
  if (error) return answer;
  // The gateway's own name unless the test sends another.
  const std::string host =
      extraHeaders.find("Host:") == std::string::npos ? "Host: 127.0.0.1:" + std::to_string(port) + "\r\n" : "";
  const std::string request =
      method + " " + target + " HTTP/1.1\r\n" + host + extraHeaders + "Connection: close\r\n\r\n";
  boost::asio::write(socket, boost::asio::buffer(request), error);
  beast::flat_buffer buffer;
  beast::http::response<beast::http::string_body> response;
  beast::http::read(socket, buffer, response, error);
  if (error && error != beast::http::error::end_of_stream) return answer;
  answer.status = int(response.result_int());
  answer.body = response.body();
  return answer;
}

} // namespace gatewaytest
