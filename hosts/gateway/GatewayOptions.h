#pragma once
// The gateway's command line: where it listens, which recorders a browser may watch (by
// name only: the gateway never connects anywhere else), and its limits.
//
//   camview-gateway --listen 127.0.0.1:PORT --recorder NAME=HOST:PORT [--recorder ...]
//                   [--web-root DIR] [--allow-origin ORIGIN ...] [--max-connections N]
//                   [--max-cameras N] [--linger MS] [--quiet]
#include <string>
#include <vector>

namespace gateway {

struct RecorderAddress {
  std::string name; // what pages and WebSocket paths name it by: letters, digits, '-', '_'
  std::string host; // dotted IPv4 address or a host name
  int port = 0;
};

struct GatewayOptions {
  std::string listenHost = "127.0.0.1";
  int listenPort = 8080; // 0: any free port (printed at start)
  std::vector<RecorderAddress> recorders;
  // Where the page's scripts and the WebAssembly module are read from.
  std::string webRoot;
  // Origins whose pages may open WebSockets. Empty: only the gateway's own origin; "*": any.
  std::vector<std::string> allowedOrigins;
  int maxConnections = 64; // HTTP and WebSocket connections at once
  int maxCameras = 32;     // recorder connections at once
  int lingerMs = 5000;     // a camera nobody watches keeps its recorder connection this long
  bool quiet = false;
  bool help = false;
};

constexpr int kMaxRecorderNameLength = 32;
constexpr int kMaxHostLength = 255;

const char* usageText();
// Parses the arguments after the program name. False with a message in `error`.
bool parseGatewayArguments(const std::vector<std::string>& arguments, GatewayOptions& options, std::string& error);
// A recorder name as pages and paths may carry it: 1 to 32 of [A-Za-z0-9_-].
bool validRecorderName(const std::string& name);
// "HOST:PORT" with a port of 1..65535 (the host may be empty only where allowed).
bool parseHostPort(const std::string& text, std::string& host, int& port, bool portZeroAllowed);
// The recorder of that name, or null.
const RecorderAddress* findRecorder(const GatewayOptions& options, const std::string& name);

} // namespace gateway
