#pragma once
// The HTTP answers for /camera/NAME/ID.jpg and /camera/NAME/ID.mjpg on a connection the web
// server hands over once it has read the request:
//   .jpg   waits for the camera's newest picture (connecting to it if needed) for at most
//          kSnapshotWait, then answers with one JPEG; 504 with the reason when none came,
//          502 when the recorder connection broke.
//   .mjpg  multipart/x-mixed-replace, one JPEG part per picture at the recorder's rate (or
//          the client's `fps`); a client that reads slowly gets the newest picture when it
//          is ready for one, never a backlog: at most the part being written and one waiting.
// Malformed requests get a plain-text error. Every write must finish within kWriteTimeout
// or the connection is closed. The connection closes after the answer (a snapshot) or with
// the stream; clients poll snapshots on new connections.
#include "hosts/gateway/ConnectionTable.h"
#include "hosts/gateway/GatewayCounters.h"
#include "hosts/gateway/media/MediaService.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <memory>
#include <string_view>

namespace gateway::media {

constexpr auto kSnapshotWait = std::chrono::seconds(10);
constexpr auto kWriteTimeout = std::chrono::seconds(10);
// Kernel send buffer of an MJPEG connection: what sits there is a backlog the gateway can no
// longer replace by a newer picture, so it holds a few pictures, not seconds of them.
constexpr int kStreamSendBuffer = 256 * 1024;
constexpr std::string_view kBoundary = "camviewframe";

// True for requests this responder answers (by their path).
bool isMediaRequest(std::string_view target);

void serveMedia(boost::asio::ip::tcp::socket&& socket,
                boost::beast::http::request<boost::beast::http::string_body>&& request,
                std::weak_ptr<MediaService> service, GatewayCounters& counters, ConnectionSlot slot);

} // namespace gateway::media
