#pragma once
// The gateway's command line: where it listens, which recorders a browser may watch (by
// name only: the gateway never connects anywhere else), who may watch them, and its limits.
//
//   camview-gateway [--config FILE] --listen 127.0.0.1:PORT --recorder NAME=HOST:PORT[:IDS] [--recorder ...]
//                   [--web-root DIR] [--allow-origin ORIGIN ...] [--public-name NAME ...]
//                   [--secret-file FILE | --no-access-control] [--max-connections N]
//                   [--max-per-client N] [--max-cameras N] [--linger MS]
//                   [--frame-ancestors SOURCES] [--metrics-from ADDR ...] [--trusted-proxy ADDR ...]
//                   [--quiet]
//   camview-gateway sign --secret-file FILE --recorder NAME --id N[,M ...] --ttl 8h
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gateway {

constexpr std::int32_t kMaxWallCameraId = 255;
constexpr std::size_t kMaxCamerasPerRecorder = 64;

struct RecorderAddress {
  std::string name; // what pages and WebSocket paths name it by: letters, digits, '-', '_'
  std::string host; // dotted IPv4 address or a host name
  int port = 0;
  // The cameras the wall shows for it, in the operator's order (camera 0 unless listed).
  std::vector<std::int32_t> cameras{0};
};

struct GatewayOptions {
  // The settings file the command line named (read again on SIGHUP); empty: none.
  std::string configFile;
  std::string listenHost = "127.0.0.1";
  int listenPort = 8080; // 0: any free port (printed at start)
  std::vector<RecorderAddress> recorders;
  // Where the page's scripts and the WebAssembly module are read from (once, at start).
  std::string webRoot;
  // Origins whose pages may open WebSockets besides the gateway's own; "*": any.
  std::vector<std::string> allowedOrigins;
  // Host names the gateway answers to besides its listen address and the loopback names.
  std::vector<std::string> publicNames;
  // The file of secrets signed links are checked against; read at start, never logged.
  std::string secretFile;
  // The secrets themselves (from secretFile, or set by tests); the first one signs.
  std::vector<std::string> secrets;
  // Serve without signed links off loopback (warned about at every start).
  bool noAccessControl = false;
  // Who may read /metrics and /healthz; empty: every client.
  std::vector<std::string> metricsFrom;
  // Reverse proxies (IP addresses) whose X-Forwarded-For and X-Forwarded-Proto are believed.
  std::vector<std::string> trustedProxies;
  // The page's frame-ancestors: who may embed it.
  std::string frameAncestors = "'self'";

  int maxConnections = 64; // HTTP and WebSocket connections at once
  // Of those, from one client address: a page of 16 viewers holds 16 WebSockets while its
  // workers still fetch the page's files, so a client needs room beyond its viewers.
  int maxPerClient = 32;
  int maxCameras = 32; // recorder connections at once
  int lingerMs = 5000; // a camera nobody watches keeps its recorder connection this long
  // Deadlines, settable for tests: a whole HTTP request (and the WebSocket's open request),
  // every write to a browser, and a WebSocket without any request.
  int requestTimeoutMs = 10000;
  int writeTimeoutMs = 10000;
  int idleTimeoutMs = 60000;
  // Bytes of control messages (reply codes, text tables) one browser may have waiting.
  std::int64_t controlBudgetBytes = 256 * 1024;
  // How long accepting pauses when the process is out of descriptors or buffers.
  int acceptBackoffMs = 100;

  bool quiet = false;
  bool help = false;
};

constexpr int kMaxRecorderNameLength = 32;
constexpr int kMaxHostLength = 255;

const char* usageText();
// Parses the arguments after the program name, and the config file they name (the command
// line overriding it). False with a message in `error`.
bool parseGatewayArguments(const std::vector<std::string>& arguments, GatewayOptions& options, std::string& error);
// The same with the config file's text given (`--config NAME` names it in messages only).
bool parseGatewayArguments(const std::vector<std::string>& arguments, std::string_view configText,
                           GatewayOptions& options, std::string& error);
// A recorder name as pages and paths may carry it: 1 to 32 of [A-Za-z0-9_-].
bool validRecorderName(const std::string& name);
// "HOST:PORT" with a port of 1..65535 (the host may be empty only where allowed).
bool parseHostPort(const std::string& text, std::string& host, int& port, bool portZeroAllowed);
// The recorder of that name, or null.
const RecorderAddress* findRecorder(const GatewayOptions& options, const std::string& name);
// True when `host` is an IP address of the loopback interface.
bool isLoopbackAddress(const std::string& host);

// `camview-gateway sign ...`: what a signed link is to allow.
struct SignOptions {
  std::string secretFile;
  std::string recorder;
  std::vector<std::int32_t> ids;
  std::int64_t ttlSeconds = 0;
  bool help = false;
};
const char* signUsageText();
// Parses the arguments after "sign". False with a message in `error`.
bool parseSignArguments(const std::vector<std::string>& arguments, SignOptions& options, std::string& error);
// "90", "90s", "15m", "8h", "7d": seconds, 1 second to 366 days. False for anything else.
bool parseDuration(const std::string& text, std::int64_t& seconds);
// "1-16" or "0,3,5-7": a recorder's cameras of 0..kMaxWallCameraId, each once, at most
// kMaxCamerasPerRecorder. False with a plain reason in `error`.
bool parseCameraList(std::string_view text, std::vector<std::int32_t>& ids, std::string& error);
// "1,2,-3": connection ids, at most `limit`. False for anything else.
bool parseIdList(std::string_view text, std::size_t limit, std::vector<std::int32_t>& ids);

} // namespace gateway
