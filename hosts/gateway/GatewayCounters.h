#pragma once
// Figures of a running gateway, read by tests, benchmarks and the closing status line.
#include <atomic>
#include <cstdint>

namespace gateway {

struct GatewayCounters {
  std::atomic<int> connections{0};                // HTTP and WebSocket connections open now
  std::atomic<int> viewers{0};                    // WebSocket sessions open now
  std::atomic<std::uint64_t> refused{0};          // connections turned away at the total limit (503)
  std::atomic<std::uint64_t> rejectedRequests{0}; // HTTP requests answered with an error
  std::atomic<std::uint64_t> protocolErrors{0};   // WebSocket sessions ended for bad requests
  std::atomic<std::uint64_t> picturesSent{0};     // pictures written to browsers
  std::atomic<std::uint64_t> bytesSent{0};        // bytes of messages written to browsers
  std::atomic<std::int64_t> queuedBytes{0};       // bytes waiting for browsers, all sessions
  std::atomic<std::int64_t> maxSessionQueued{0};  // the most one session ever had waiting
  std::atomic<int> mediaClients{0};               // snapshot and MJPEG connections open now
  std::atomic<std::uint64_t> mediaEncodes{0};     // JPEGs encoded (shared by their clients)
  std::atomic<std::uint64_t> mediaBytes{0};       // JPEG bytes written to clients
  // Requests refused before they reached a page or a camera, by reason.
  std::atomic<std::uint64_t> refusedHost{0};   // Host not one of the gateway's names (421)
  std::atomic<std::uint64_t> refusedOrigin{0}; // WebSocket from a page of another origin
  std::atomic<std::uint64_t> refusedClient{0}; // connections over the per-client limit (429)
  // Browsers dropped: no request or open request in time, a write not taken in time, control
  // messages over the byte budget; WebSockets closed for being idle.
  std::atomic<std::uint64_t> requestTimeouts{0};
  std::atomic<std::uint64_t> writeTimeouts{0};
  std::atomic<std::uint64_t> overBudget{0};
  std::atomic<std::uint64_t> idleClosed{0};
  std::atomic<std::uint64_t> picturesSkipped{0};    // replaced by a newer one before a slow browser took them
  std::atomic<std::uint64_t> allocationFailures{0}; // a session or camera ended for lack of memory
  std::atomic<std::uint64_t> acceptPauses{0};       // accepting paused for lack of descriptors or buffers
  std::atomic<std::uint64_t> forwardedMalformed{0}; // a trusted proxy's forwarding headers did not parse
  // Signed links refused, by reason.
  std::atomic<std::uint64_t> tokenMissing{0};
  std::atomic<std::uint64_t> tokenMalformed{0};
  std::atomic<std::uint64_t> tokenForged{0};
  std::atomic<std::uint64_t> tokenExpired{0};
  std::atomic<std::uint64_t> tokenOtherCamera{0}; // valid, but for another recorder or camera
};

} // namespace gateway
