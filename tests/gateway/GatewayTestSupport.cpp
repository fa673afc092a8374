#include "tests/gateway/GatewayTestSupport.h"

#include "base/LittleEndian.h"
#include "engine/MessageWriter.h"
#include "engine/Protocol.h"
#include "engine/RequestReader.h"
#include "engine/TaggedMessage.h"
#include "hosts/gateway/ViewerRequests.h"
#include "tests/support/AllocationExemption.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <cstring>
#include <functional>

namespace gatewaytest {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

const Bytes* Message::find(const std::string& tag) const {
  for (const auto& [name, data] : items)
    if (name == tag) return &data;
  return nullptr;
}

std::int32_t Message::code() const {
  const Bytes* words = find("PDAT");
  return words && words->size() >= 4 ? le::readI32(words->data()) : -1;
}

bool parseMessage(const Bytes& bytes, Message& message) {
  message.items.clear();
  if (bytes.size() < 8 || std::memcmp(bytes.data(), "PLPR", 4) != 0) return false;
  if (std::size_t(le::readI32(bytes.data() + 4)) != bytes.size()) return false;
  std::size_t at = 8;
  while (at + 8 <= bytes.size()) {
    const std::string tag(reinterpret_cast<const char*>(bytes.data() + at), 4);
    const auto length = std::size_t(le::readI32(bytes.data() + at + 4));
    if (at + 8 + length > bytes.size()) return false;
    message.items.emplace_back(
        tag, Bytes(bytes.begin() + std::ptrdiff_t(at + 8), bytes.begin() + std::ptrdiff_t(at + 8 + length)));
    at += 8 + length;
  }
  return at == bytes.size();
}

Bytes buildMessage(const std::vector<std::pair<std::string, Bytes>>& items) {
  protocol::MessageWriter message;
  for (const auto& [tag, data] : items) message.addItem(CTaggedMessage::tagWord(tag), data.data(), data.size());
  return message.take();
}

Bytes pdat(std::int32_t w0, std::int32_t w1, std::int32_t w2, std::int32_t w3) {
  Bytes out(protocol::kPdatSize);
  protocol::encodePdat(ReplyStatus{{w0, w1, w2, w3}}, out.data());
  return out;
}

// --- FakeRecorder ---

FakeRecorder::FakeRecorder(int bodySize, int port, int languageBytes)
    : bodySize_(bodySize), languageBytes_(languageBytes) {
  listener_ = platform::socketListen("127.0.0.1", port);
  port_ = platform::socketLocalPort(listener_);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

FakeRecorder::~FakeRecorder() { stop(); }

void FakeRecorder::stop() {
  // Each connection notices within one 50 ms wait and closes its own socket.
  if (stopping_.exchange(true)) return;
  if (acceptThread_.joinable()) acceptThread_.join();
  platform::socketClose(listener_);
  for (std::thread& thread : connections_) thread.join();
}

Bytes FakeRecorder::header(std::int32_t id, int n) {
  Bytes out(208);
  for (int i = 0; i < 208; ++i) out[std::size_t(i)] = std::uint8_t(id + n + i);
  // The number whole in the first four bytes: a fast link passes 256 pictures in no time.
  le::writeI32(out.data(), n);
  return out;
}

int FakeRecorder::pictureNumber(const Bytes& header) { return header.size() < 4 ? -1 : le::readI32(header.data()); }

Bytes FakeRecorder::body(int n, int size) {
  Bytes out{};
  out.resize(std::size_t(size));
  for (int i = 0; i < size; ++i) out[std::size_t(i)] = std::uint8_t(n * 7 + i);
  return out;
}

Bytes FakeRecorder::languageItem(int size) {
  // One row, one column ("language" slot) holding "xx": the gateway passes it on untouched.
  Bytes out(std::max<std::size_t>(12 + 4 + 3, std::size_t(size)));
  le::writeI32(out.data(), 0);
  le::writeI32(out.data() + 4, 1);
  le::writeI32(out.data() + 8, 1);
  le::writeI32(out.data() + 12, 16);
  std::memcpy(out.data() + 16, "xx", 3);
  return out;
}

void FakeRecorder::acceptLoop() {
  // The simulated recorder is never the code under test of an allocation failure.
  testsupport::exemptThisThreadFromFailures();
  while (!stopping_) {
    if (platform::socketWaitReadable(listener_, 50) != 1) continue;
    const platform::SocketHandle socket = platform::socketAccept(listener_);
    if (socket == platform::kNoSocket) continue;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      platform::socketClose(socket);
      break;
    }
    ++accepted_;
    connections_.emplace_back([this, socket] {
      testsupport::exemptThisThreadFromFailures();
      serve(socket);
    });
  }
}

void FakeRecorder::serve(platform::SocketHandle socket) {
  // The viewer's requests, read by the protocol's own bounded reader.
  protocol::RequestReader requests;
  auto readRequest = [&](std::int32_t& code, std::int32_t& id) {
    ReplyStatus words;
    for (;;) {
      const protocol::RequestReader::Result result = requests.next(words);
      if (result == protocol::RequestReader::Result::Request) break;
      if (result == protocol::RequestReader::Result::Invalid) return false;
      if (result != protocol::RequestReader::Result::NeedMore) continue;
      if (stopping_ || platform::socketWaitReadable(socket, 50) < 0) return false;
      if (platform::socketWaitReadable(socket, 0) != 1) continue;
      std::uint8_t chunk[256];
      const int got = platform::socketReceive(socket, chunk, sizeof chunk);
      if (got <= 0) return false;
      requests.append(chunk, std::size_t(got));
    }
    code = words.words[0];
    id = words.words[2];
    return true;
  };
  auto sendAll = [&](const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && !stopping_) {
      const int n = platform::socketSend(socket, bytes.data() + sent, int(bytes.size() - sent));
      if (n < 0) return false;
      sent += std::size_t(n);
    }
    return sent == bytes.size();
  };
  std::int32_t code = 0, id = 0;
  if (readRequest(code, id) && code == protocol::kRequestOpen) {
    const std::int32_t connectionId = id;
    bool ok = sendAll(buildMessage({{"PDAT", pdat(protocol::kReplyEstablished, 0, 0, 1)}, {"LANG", languageItem()}}));
    for (int n = 0; ok; ++n) {
      std::vector<std::pair<std::string, Bytes>> items = {{"HEAD", header(connectionId, n)},
                                                          {"BODY", body(n, bodySize_)}};
      if (languageBytes_ > 0) items.emplace_back("LANG", languageItem(languageBytes_));
      ok = sendAll(buildMessage(items)) && readRequest(code, id) && code == protocol::kRequestNext;
    }
  }
  platform::socketClose(socket);
}

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
