// The viewer's sockets in a browser page: each socket is a WebSocket to the gateway, which
// relays the recorder named by the viewer's host text (/camera/NAME on the page's own
// origin); the port is not used. WebSockets live on the page's main thread, while the
// viewer's Receiver thread (a Web Worker) calls these functions: received bytes wait in a
// locked queue per socket, and connect, send and close ask the main thread to act.
//
// The server-side calls have no meaning in a page and fail.
#include "platform/Socket.h"

#include <emscripten.h>
#include <emscripten/threading.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// A gateway sends one picture per request; far more than that waiting means something is
// wrong, and the connection is given up rather than memory.
constexpr std::size_t kMaxQueuedBytes = 64u << 20;
// How long a connect waits for the WebSocket to open (or fail) before it gives up.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// A gateway that accepts and then closes at once (too many cameras, say) would otherwise be
// asked again on the Receiver thread's next pass: connections to a camera that lived less
// than kShortLived make the next connect wait, twice as long each time up to kMaxBackoff.
constexpr auto kShortLived = std::chrono::seconds(2);
constexpr auto kFirstBackoff = std::chrono::milliseconds(500);
constexpr auto kMaxBackoff = std::chrono::milliseconds(8000);
using Clock = std::chrono::steady_clock;

struct BridgeSocket {
  enum class State { Idle, Connecting, Open, Closed };
  std::mutex mutex;
  std::condition_variable changed;
  State state = State::Idle;
  std::string camera;
  Clock::time_point openedAt;
  std::vector<std::uint8_t> received;
  std::size_t readPosition = 0;
};

struct Registry {
  std::mutex mutex;
  std::map<SocketHandle, std::shared_ptr<BridgeSocket>> sockets;
  SocketHandle next = 1;
  std::map<std::string, std::chrono::milliseconds> backoff; // by camera name
};

Registry& registry() {
  static Registry instance;
  return instance;
}

std::shared_ptr<BridgeSocket> find(SocketHandle handle) {
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  auto found = all.sockets.find(handle);
  return found == all.sockets.end() ? nullptr : found->second;
}

// The wait before the next connect to `camera`, after a connection that lived `lived`.
void noteConnectionEnd(const std::string& camera, Clock::duration lived) {
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  std::chrono::milliseconds& wait = all.backoff[camera];
  wait = lived >= kShortLived ? std::chrono::milliseconds(0) : std::min(kMaxBackoff, std::max(kFirstBackoff, 2 * wait));
}

std::chrono::milliseconds backoffFor(const std::string& camera) {
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  auto found = all.backoff.find(camera);
  return found == all.backoff.end() ? std::chrono::milliseconds(0) : found->second;
}

void setState(SocketHandle handle, BridgeSocket::State state) {
  auto socket = find(handle);
  if (!socket) return;
  bool ended = false;
  Clock::duration lived{};
  {
    std::lock_guard lock(socket->mutex);
    if (socket->state == BridgeSocket::State::Closed) return;
    if (state == BridgeSocket::State::Open) socket->openedAt = Clock::now();
    if (state == BridgeSocket::State::Closed && socket->state == BridgeSocket::State::Open) {
      ended = true;
      lived = Clock::now() - socket->openedAt;
    }
    socket->state = state;
  }
  socket->changed.notify_all();
  if (ended) noteConnectionEnd(socket->camera, lived);
}

// --- the main thread's half (JavaScript; kept out of the C++ formatter's hands) ---
// clang-format off

// Opens the WebSocket for socket `id` to the camera named `name` (a heap copy, freed here).
void openOnMainThread(int id, char* name) {
  MAIN_THREAD_ASYNC_EM_ASM({
    var id = $0;
    var name = UTF8ToString($1);
    _free($1);
    var url = Module['camviewCameraUrl'] ? Module['camviewCameraUrl'](name)
        : (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/camera/' + encodeURIComponent(name);
    var sockets = Module['camviewSockets'] = Module['camviewSockets'] || new Map();
    var ws;
    try {
      ws = new WebSocket(url);
    } catch (e) {
      _camview_socket_closed(id);
      return;
    }
    ws.binaryType = 'arraybuffer';
    sockets.set(id, ws);
    ws.onopen = function() { _camview_socket_opened(id); };
    ws.onmessage = function(event) {
      var bytes = new Uint8Array(event.data);
      var buffer = _malloc(bytes.length || 1);
      if (!buffer) {
        ws.close();
        return;
      }
      new Uint8Array(wasmMemory.buffer, buffer, bytes.length).set(bytes);
      _camview_socket_received(id, buffer, bytes.length);
      _free(buffer);
    };
    ws.onclose = ws.onerror = function() {
      sockets.delete(id);
      _camview_socket_closed(id);
    };
  }, id, name);
}

// Sends `length` bytes at `data` (a heap copy, freed here).
void sendOnMainThread(int id, std::uint8_t* data, int length) {
  MAIN_THREAD_ASYNC_EM_ASM({
    var ws = Module['camviewSockets'] && Module['camviewSockets'].get($0);
    if (ws && ws.readyState === 1) ws.send(new Uint8Array(wasmMemory.buffer, $1, $2).slice());
    _free($1);
  }, id, data, length);
}

void closeOnMainThread(int id) {
  MAIN_THREAD_ASYNC_EM_ASM({
    var sockets = Module['camviewSockets'];
    var ws = sockets && sockets.get($0);
    if (!ws) return;
    sockets.delete($0);
    ws.onopen = ws.onmessage = ws.onclose = ws.onerror = null;
    ws.close();
  }, id);
}

// clang-format on

} // namespace

bool networkStartup() { return true; }
void networkCleanup() {}

SocketHandle socketCreate() {
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  const SocketHandle handle = all.next++;
  all.sockets[handle] = std::make_shared<BridgeSocket>();
  return handle;
}

bool socketConnect(SocketHandle handle, const char* host, int port) {
  if (host == nullptr || host[0] == '\0' || port < 0 || port > 65535) return false;
  auto socket = find(handle);
  if (!socket || emscripten_is_main_runtime_thread()) return false; // the main thread cannot wait
  // Looked up before the socket is locked: the lock order is registry, then socket.
  const std::chrono::milliseconds backoff = backoffFor(host);
  std::unique_lock lock(socket->mutex);
  if (socket->state != BridgeSocket::State::Idle) return false;
  socket->camera = host;
  // Waits out the back-off; an aborted connect (the page closes the viewer) ends it early.
  socket->changed.wait_for(lock, backoff, [&] { return socket->state != BridgeSocket::State::Idle; });
  if (socket->state != BridgeSocket::State::Idle) return false;
  socket->state = BridgeSocket::State::Connecting;
  lock.unlock();
  char* name = strdup(host);
  if (!name) return false;
  openOnMainThread(int(handle), name);
  lock.lock();
  socket->changed.wait_for(lock, kConnectTimeout, [&] { return socket->state != BridgeSocket::State::Connecting; });
  if (socket->state == BridgeSocket::State::Open) return true;
  socket->state = BridgeSocket::State::Closed;
  return false;
}

bool socketSetNonBlocking(SocketHandle handle) { return find(handle) != nullptr; }

int socketSend(SocketHandle handle, const void* data, int length) {
  auto socket = find(handle);
  if (!socket || length < 0) return -1;
  {
    std::lock_guard lock(socket->mutex);
    if (socket->state != BridgeSocket::State::Open) return -1;
  }
  if (length == 0) return 0;
  auto* copy = static_cast<std::uint8_t*>(std::malloc(std::size_t(length)));
  if (!copy) return 0; // try again on the next pass
  std::memcpy(copy, data, std::size_t(length));
  sendOnMainThread(int(handle), copy, length);
  return length;
}

int socketReceive(SocketHandle handle, void* destination, int length) {
  auto socket = find(handle);
  if (!socket || length < 0) return -1;
  std::lock_guard lock(socket->mutex);
  const std::size_t available = socket->received.size() - socket->readPosition;
  if (available == 0) return socket->state == BridgeSocket::State::Open ? 0 : -1;
  const std::size_t count = std::min(available, std::size_t(length));
  std::memcpy(destination, socket->received.data() + socket->readPosition, count);
  socket->readPosition += count;
  if (socket->readPosition == socket->received.size()) {
    socket->received.clear();
    socket->readPosition = 0;
  }
  return int(count);
}

void socketClose(SocketHandle handle) {
  if (handle == kNoSocket) return;
  {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    if (all.sockets.erase(handle) == 0) return;
  }
  closeOnMainThread(int(handle));
}

SocketHandle socketListen(const char*, int, int) { return kNoSocket; }
int socketLocalPort(SocketHandle) { return -1; }
int socketWaitReadable(SocketHandle, int) { return -1; }
int socketWaitWritable(SocketHandle, int) { return -1; }
SocketHandle socketAccept(SocketHandle) { return kNoSocket; }
bool socketSetNoDelay(SocketHandle handle) { return find(handle) != nullptr; }

} // namespace platform

// Called by the main thread's WebSocket handlers.
extern "C" {

EMSCRIPTEN_KEEPALIVE void camview_socket_opened(int id) { platform::setState(id, platform::BridgeSocket::State::Open); }

EMSCRIPTEN_KEEPALIVE void camview_socket_closed(int id) {
  platform::setState(id, platform::BridgeSocket::State::Closed);
}

EMSCRIPTEN_KEEPALIVE void camview_socket_received(int id, const std::uint8_t* data, int length) {
  auto socket = platform::find(id);
  if (!socket || length <= 0) return;
  std::lock_guard lock(socket->mutex);
  if (socket->state != platform::BridgeSocket::State::Open) return;
  if (socket->received.size() - socket->readPosition + std::size_t(length) > platform::kMaxQueuedBytes) {
    socket->state = platform::BridgeSocket::State::Closed; // the Receiver thread sees the connection fail
    return;
  }
  socket->received.insert(socket->received.end(), data, data + length);
}

// Every connect still waiting (for its back-off or for its WebSocket) fails at once: the main
// thread is about to wait for a Receiver thread, and no WebSocket can open while it waits.
EMSCRIPTEN_KEEPALIVE void camview_socket_abort_connects() {
  platform::Registry& all = platform::registry();
  std::lock_guard lock(all.mutex);
  for (auto& [handle, socket] : all.sockets) {
    {
      std::lock_guard socketLock(socket->mutex);
      if (socket->state == platform::BridgeSocket::State::Connecting)
        socket->state = platform::BridgeSocket::State::Closed;
    }
    socket->changed.notify_all();
  }
}
}
