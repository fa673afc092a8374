// The viewer's sockets in a browser page: each socket is a WebSocket to the gateway, which
// relays the camera named by the viewer's host text, NAME/ID (/camera/NAME/ID on the page's
// own origin); the port is not used. WebSockets live on the page's main thread, while the
// viewer's Receiver thread (a Web Worker) calls these functions: received bytes wait in a
// queue per socket, and connect, send and close ask the main thread to act. Nothing here
// waits for the main thread: connecting is started, then looked at in the caller's slices,
// so a stop of the viewer, which the main thread waits for, is never held up by a socket.
//
// Addresses: a page has no name service and no IP addresses, and the gateway knows its
// cameras by name only. The address of a name is its number in this page's table of
// names, given at once by parseDottedAddress (and resolveName) without asking anyone.
//
// Every socket and name lives in a fixed table and received bytes in malloc'd buffers, so
// running out of memory fails a call instead of ending the page's module. The server-side
// calls have no meaning in a page and fail.
//
// A SocketWaiter here is a condition variable that the main thread's WebSocket callbacks
// signal when bytes arrive or the socket ends, and that wake signals: the Receiver thread
// sleeps until then instead of looking every few milliseconds.
#include "platform/Socket.h"
#include "platform/SocketWaiter.h"

#include "platform/Time.h"

#include <emscripten.h>
#include <emscripten/threading.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace platform {

namespace {

constexpr int kMaxSockets = 256; // a viewer holds one at a time
constexpr int kMaxNames = 256;   // distinct cameras one page connects to
constexpr std::size_t kMaxNameLength = 255;
// A gateway sends one picture (at most a few MiB) per request, and texts; far more than that
// waiting means something is wrong, and the connection is given up rather than memory.
constexpr std::size_t kMaxQueuedBytes = 16u << 20;
// An emptied queue keeps up to this much for the next picture and gives the rest back.
constexpr std::size_t kKeptBytes = 1u << 20;

// Bytes received and not read yet, in one malloc'd block.
struct ByteQueue {
  std::uint8_t* bytes = nullptr;
  std::size_t capacity = 0, begin = 0, end = 0;

  std::size_t size() const { return end - begin; }
  void release() {
    std::free(bytes);
    *this = ByteQueue{};
  }
  // False when the queue would exceed its bound or there is no memory.
  bool append(const std::uint8_t* data, std::size_t length) {
    if (length > kMaxQueuedBytes - size()) return false;
    if (end + length > capacity && begin > 0) { // room at the front first
      std::memmove(bytes, bytes + begin, size());
      end -= begin;
      begin = 0;
    }
    if (end + length > capacity) {
      std::size_t grown = capacity < 65536 ? 65536 : capacity * 2;
      if (grown < end + length) grown = end + length;
      auto* larger = static_cast<std::uint8_t*>(std::realloc(bytes, grown));
      if (!larger) return false;
      bytes = larger;
      capacity = grown;
    }
    std::memcpy(bytes + end, data, length);
    end += length;
    return true;
  }
  std::size_t take(void* destination, std::size_t length) {
    const std::size_t count = length < size() ? length : size();
    std::memcpy(destination, bytes + begin, count);
    begin += count;
    if (begin == end) {
      if (capacity > kKeptBytes) release();
      begin = end = 0;
    }
    return count;
  }
};

enum class State { Unused, Idle, Connecting, Open, Closed };

// A SocketWaiter's half here, under the registry's lock.
struct WaiterState {
  std::condition_variable changed; // bytes arrived, the socket ended, or a wake
  bool woken = false;
};

struct BridgeSocket {
  SocketHandle handle = kNoSocket;
  State state = State::Unused;
  ByteQueue received;
  WaiterState* waiter = nullptr; // the waiter sleeping on this socket, if any
};

// One lock for every socket: each call holds it for a few microseconds (a copy of received
// bytes at most), and the WebSocket callbacks of the main thread never wait long for it.
struct Registry {
  std::mutex mutex;
  std::condition_variable changed; // a socket left Connecting
  BridgeSocket sockets[kMaxSockets];
  // Handles are never reused while the page lives: a callback of a closed WebSocket that
  // was already queued finds no socket instead of a new one in the same slot.
  SocketHandle nextHandle = 1;
  char names[kMaxNames][kMaxNameLength + 1] = {};
  int nameCount = 0;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

// The socket with `handle`, or null. The registry's lock is held.
BridgeSocket* find(Registry& all, SocketHandle handle) {
  if (handle <= 0) return nullptr;
  BridgeSocket& socket = all.sockets[handle % kMaxSockets];
  return socket.handle == handle && socket.state != State::Unused ? &socket : nullptr;
}

// The address of `name`: its number in the table (from 1), added when new. False for an
// empty or over-long name, or a full table.
bool addressOfName(const char* name, Address& address) {
  if (name == nullptr || name[0] == '\0' || std::strlen(name) > kMaxNameLength) return false;
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  int index = 0;
  while (index < all.nameCount && std::strcmp(all.names[index], name) != 0) ++index;
  if (index == all.nameCount) {
    if (all.nameCount == kMaxNames) return false;
    std::strcpy(all.names[all.nameCount++], name);
  }
  address = Address(index + 1);
  return true;
}

// Copies the name of `address` into `name`; false for an address no name has.
bool nameOfAddress(Address address, char (&name)[kMaxNameLength + 1]) {
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  if (address < 1 || address > Address(all.nameCount)) return false;
  std::strcpy(name, all.names[address - 1]);
  return true;
}

// --- the main thread's half (JavaScript; kept out of the C++ formatter's hands) ---
// clang-format off

// Opens the WebSocket for socket `id` to the camera named `name` (a heap copy, freed here),
// each of its '/'-separated parts %-escaped.
void openOnMainThread(int id, char* name) {
  MAIN_THREAD_ASYNC_EM_ASM({
    var id = $0;
    var name = UTF8ToString($1);
    _free($1);
    var url = Module['camviewCameraUrl'] ? Module['camviewCameraUrl'](name)
        : (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/camera/' +
          name.split('/').map(encodeURIComponent).join('/');
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
    // The page's first socket marks its way to the first picture (see camview-viewer.js).
    var timed = !Module['camviewSocketTimed'];
    Module['camviewSocketTimed'] = true;
    if (timed) performance.mark('camview-socket-opening');
    ws.onopen = function() {
      if (timed) performance.mark('camview-socket-open');
      _camview_socket_opened(id);
    };
    ws.onmessage = function(event) {
      if (timed) {
        timed = false;
        performance.mark('camview-socket-first-bytes');
      }
      var bytes = new Uint8Array(event.data);
      var buffer = _malloc(bytes.length || 1);
      var kept = 0;
      if (buffer) {
        new Uint8Array(wasmMemory.buffer, buffer, bytes.length).set(bytes);
        kept = _camview_socket_received(id, buffer, bytes.length);
        _free(buffer);
      }
      if (kept) return;
      // No room for the bytes, or the socket is gone: the connection ends here.
      sockets.delete(id);
      ws.onopen = ws.onmessage = ws.onclose = ws.onerror = null;
      ws.close();
      _camview_socket_closed(id);
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

// The main thread's WebSocket reports `state` (Open or Closed) for socket `handle`.
void reportState(SocketHandle handle, State state) {
  Registry& all = registry();
  {
    std::lock_guard lock(all.mutex);
    BridgeSocket* socket = find(all, handle);
    if (!socket || socket->state == State::Closed || socket->state == State::Idle) return;
    if (state == State::Open && socket->state != State::Connecting) return;
    socket->state = state;
    if (socket->waiter) socket->waiter->changed.notify_one();
  }
  all.changed.notify_all();
}

} // namespace

// Nothing to start in a page; counted calls need no count.
bool networkStartup() { return true; }
void networkCleanup() {}

bool parseDottedAddress(const char* host, Address& address) { return addressOfName(host, address); }
bool resolveName(const char* host, Address& address) { return addressOfName(host, address); }

SocketHandle socketCreate() {
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  for (int tries = 0; tries < kMaxSockets; ++tries) {
    const SocketHandle handle = all.nextHandle++;
    BridgeSocket& socket = all.sockets[handle % kMaxSockets];
    if (socket.state != State::Unused) continue;
    socket.handle = handle;
    socket.state = State::Idle;
    return handle;
  }
  return kNoSocket;
}

int socketConnectStart(SocketHandle handle, Address address, int port) {
  if (port < 0 || port > 65535) return -1;
  char name[kMaxNameLength + 1];
  if (!nameOfAddress(address, name)) return -1;
  char* copy = strdup(name); // freed by the main thread
  if (!copy) return -1;
  {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    BridgeSocket* socket = find(all, handle);
    if (!socket || socket->state != State::Idle) {
      std::free(copy);
      return -1;
    }
    socket->state = State::Connecting;
  }
  openOnMainThread(int(handle), copy);
  return 0;
}

int socketConnectWait(SocketHandle handle, int timeoutMs) {
  // The main thread delivers the answer: it may look, but never wait.
  if (emscripten_is_main_runtime_thread() || timeoutMs < 0) timeoutMs = 0;
  Registry& all = registry();
  std::unique_lock lock(all.mutex);
  BridgeSocket* socket = find(all, handle);
  if (!socket) return -1;
  all.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    socket = find(all, handle);
    return !socket || socket->state != State::Connecting;
  });
  if (!socket) return -1;
  if (socket->state == State::Open) return 1;
  return socket->state == State::Connecting ? 0 : -1;
}

bool socketConnect(SocketHandle handle, const char* host, int port) {
  Address address = 0;
  if (!parseDottedAddress(host, address) || socketConnectStart(handle, address, port) != 0) return false;
  // The main thread cannot wait for its own WebSocket to open.
  if (emscripten_is_main_runtime_thread()) return false;
  constexpr int kConnectTimeoutMs = 10000;
  return socketConnectWait(handle, kConnectTimeoutMs) == 1;
}

bool socketSetNonBlocking(SocketHandle handle) {
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  return find(all, handle) != nullptr;
}

int socketSend(SocketHandle handle, const void* data, int length) {
  if (length < 0) return -1;
  {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    BridgeSocket* socket = find(all, handle);
    if (!socket || socket->state != State::Open) return -1;
  }
  if (length == 0) return 0;
  auto* copy = static_cast<std::uint8_t*>(std::malloc(std::size_t(length)));
  if (!copy) return 0; // try again on the next pass
  std::memcpy(copy, data, std::size_t(length));
  sendOnMainThread(int(handle), copy, length);
  return length;
}

int socketReceive(SocketHandle handle, void* destination, int length) {
  if (length < 0) return -1;
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  BridgeSocket* socket = find(all, handle);
  if (!socket) return -1;
  if (socket->received.size() == 0) return socket->state == State::Open ? 0 : -1;
  return int(socket->received.take(destination, std::size_t(length)));
}

void socketClose(SocketHandle handle) {
  {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    BridgeSocket* socket = find(all, handle);
    if (!socket) return;
    socket->received.release();
    *socket = BridgeSocket{};
  }
  closeOnMainThread(int(handle));
}

SocketHandle socketListen(const char*, int, int) { return kNoSocket; }
int socketLocalPort(SocketHandle) { return -1; }
int socketWaitReadable(SocketHandle, int) { return -1; }
int socketWaitWritable(SocketHandle, int) { return -1; }
SocketHandle socketAccept(SocketHandle) { return kNoSocket; }
bool socketSetNoDelay(SocketHandle handle) { return socketSetNonBlocking(handle); }

// --- SocketWaiter ---

namespace {
WaiterState* stateOf(std::intptr_t handle) { return handle >= 0 ? reinterpret_cast<WaiterState*>(handle) : nullptr; }
} // namespace

SocketWaiter::SocketWaiter() noexcept {
  if (WaiterState* state = new (std::nothrow) WaiterState) handles_[0] = reinterpret_cast<std::intptr_t>(state);
}

SocketWaiter::~SocketWaiter() { delete stateOf(handles_[0]); }

bool SocketWaiter::valid() const noexcept { return handles_[0] >= 0; }

void SocketWaiter::wake() noexcept {
  WaiterState* state = stateOf(handles_[0]);
  if (!state) return;
  Registry& all = registry();
  std::lock_guard lock(all.mutex);
  state->woken = true;
  state->changed.notify_one();
}

SocketWaiter::Result SocketWaiter::wait(SocketHandle handle, int timeoutMs) noexcept {
  WaiterState* state = stateOf(handles_[0]);
  if (!state) {
    sleepMs(std::uint32_t(timeoutMs >= 0 && timeoutMs < kFallbackSliceMs ? timeoutMs : kFallbackSliceMs));
    return Result::Readable;
  }
  // The main thread delivers what is awaited: it may look, but never wait.
  if (emscripten_is_main_runtime_thread()) timeoutMs = 0;
  Registry& all = registry();
  std::unique_lock lock(all.mutex);
  // Readable: bytes to take, or an end for the next receive to report.
  const auto readable = [&] {
    const BridgeSocket* socket = find(all, handle);
    return socket && (socket->received.size() > 0 || socket->state == State::Closed);
  };
  const auto due = [&] { return state->woken || readable(); };
  if (timeoutMs != 0 && !due()) {
    if (BridgeSocket* socket = find(all, handle)) socket->waiter = state;
    if (timeoutMs < 0)
      state->changed.wait(lock, due);
    else
      state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), due);
    if (BridgeSocket* socket = find(all, handle); socket && socket->waiter == state) socket->waiter = nullptr;
  }
  if (state->woken) {
    state->woken = false;
    return Result::Woken;
  }
  return readable() ? Result::Readable : Result::TimedOut;
}

} // namespace platform

// Called by the main thread's WebSocket handlers.
extern "C" {

EMSCRIPTEN_KEEPALIVE void camview_socket_opened(int id) { platform::reportState(id, platform::State::Open); }

EMSCRIPTEN_KEEPALIVE void camview_socket_closed(int id) { platform::reportState(id, platform::State::Closed); }

// Queues `length` received bytes for socket `id`. 0 when the WebSocket is to be closed: the
// bytes would exceed the queue's bound, or there is no memory for them (the Receiver thread
// then sees its connection fail).
EMSCRIPTEN_KEEPALIVE int camview_socket_received(int id, const std::uint8_t* data, int length) {
  platform::Registry& all = platform::registry();
  std::lock_guard lock(all.mutex);
  platform::BridgeSocket* socket = platform::find(all, id);
  if (!socket) return 0; // closed meanwhile
  if (socket->state != platform::State::Open) return 0;
  if (length <= 0) return 1;
  const bool kept = socket->received.append(data, std::size_t(length));
  if (!kept) socket->state = platform::State::Closed;
  if (socket->waiter) socket->waiter->changed.notify_one();
  return kept ? 1 : 0;
}
}
