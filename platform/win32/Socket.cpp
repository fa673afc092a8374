// IPv4 TCP sockets on Winsock, with the Winsock 1.1 calls the viewer was designed for, and
// the waiter that sleeps until one is readable.
#include "platform/Socket.h"

#include "platform/SocketWaiter.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <mutex>

namespace platform {

namespace {

SOCKET toSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

bool validPort(int port) { return port >= 0 && port <= 65535; }

// A dotted address is used as it is (inet_addr); anything else goes to gethostbyname, whose
// first IPv4 address is taken.
bool resolveIPv4(const char* host, in_addr* address) {
  Address found = 0;
  if (!parseDottedAddress(host, found) && !resolveName(host, found)) return false;
  address->s_addr = found;
  return true;
}

sockaddr_in socketAddress(in_addr address, int port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(static_cast<u_short>(port));
  result.sin_addr = address;
  return result;
}

int waitFor(SocketHandle socket, bool forReading, int timeoutMs) {
  if (socket == kNoSocket) return -1;
  fd_set set;
  FD_ZERO(&set);
  FD_SET(toSocket(socket), &set);
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  int result =
      select(0, forReading ? &set : nullptr, forReading ? nullptr : &set, nullptr, timeoutMs < 0 ? nullptr : &timeout);
  if (result == SOCKET_ERROR) return -1;
  return result > 0 ? 1 : 0;
}

// Waits for a connect under way: writable means connected, "exceptional" means it failed.
int waitForConnect(SocketHandle socket, int timeoutMs) {
  if (socket == kNoSocket) return -1;
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(toSocket(socket), &writable);
  FD_SET(toSocket(socket), &failed);
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  int result = select(0, nullptr, &writable, &failed, timeoutMs < 0 ? nullptr : &timeout);
  if (result == SOCKET_ERROR) return -1;
  if (result == 0) return 0;
  return FD_ISSET(toSocket(socket), &failed) ? -1 : 1;
}

// Successful WSAStartup calls not yet matched by WSACleanup.
std::mutex startupMutex;
int startupCount = 0;

} // namespace

bool networkStartup() {
  std::lock_guard lock(startupMutex);
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  ++startupCount;
  return true;
}

void networkCleanup() {
  std::lock_guard lock(startupMutex);
  if (startupCount == 0) return;
  --startupCount;
  WSACleanup();
}

bool parseDottedAddress(const char* host, Address& address) {
  if (host == nullptr || host[0] == '\0') return false;
  unsigned long dotted = inet_addr(host);
  if (dotted == INADDR_NONE) return false;
  address = dotted;
  return true;
}

bool resolveName(const char* host, Address& address) {
  if (host == nullptr || host[0] == '\0') return false; // gethostbyname("") would give the local host
  // gethostbyname's result lives in storage of the calling thread: read it before any other
  // socket call of this thread.
  const hostent* entry = gethostbyname(host);
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr)
    return false;
  std::memcpy(&address, entry->h_addr_list[0], 4);
  return true;
}

int socketConnectStart(SocketHandle socket, Address address, int port) {
  if (socket == kNoSocket || !validPort(port) || !socketSetNonBlocking(socket)) return -1;
  in_addr target{};
  target.s_addr = address;
  sockaddr_in remote = socketAddress(target, port);
  if (::connect(toSocket(socket), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return 1;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

int socketConnectWait(SocketHandle socket, int timeoutMs) { return waitForConnect(socket, timeoutMs); }

SocketHandle socketCreate() {
  SOCKET created = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return created == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(created);
}

bool socketConnect(SocketHandle socket, const char* host, int port) {
  if (socket == kNoSocket || !validPort(port)) return false;
  in_addr address{};
  if (!resolveIPv4(host, &address)) return false;
  sockaddr_in target = socketAddress(address, port);
  return ::connect(toSocket(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
}

bool socketSetNonBlocking(SocketHandle socket) {
  if (socket == kNoSocket) return false;
  u_long on = 1;
  return ioctlsocket(toSocket(socket), FIONBIO, &on) == 0;
}

int socketSend(SocketHandle socket, const void* data, int length) {
  if (socket == kNoSocket || length < 0 || (data == nullptr && length > 0)) return -1;
  if (length == 0) return 0;
  int sent = ::send(toSocket(socket), static_cast<const char*>(data), length, 0);
  if (sent == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
  return sent;
}

int socketReceive(SocketHandle socket, void* destination, int length) {
  if (socket == kNoSocket || length < 0 || (destination == nullptr && length > 0)) return -1;
  if (length == 0) return 0; // nothing asked for; recv's 0 would read as a closed connection
  int received = ::recv(toSocket(socket), static_cast<char*>(destination), length, 0);
  if (received == 0) return -1; // orderly close by the peer
  if (received == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
  return received;
}

void socketClose(SocketHandle socket) {
  if (socket != kNoSocket) closesocket(toSocket(socket));
}

SocketHandle socketListen(const char* host, int port, int backlog) {
  if (!validPort(port)) return kNoSocket;
  in_addr address{};
  address.s_addr = htonl(INADDR_ANY);
  if (host != nullptr && host[0] != '\0') {
    address.s_addr = inet_addr(host);
    if (address.s_addr == INADDR_NONE) return kNoSocket;
  }
  SocketHandle listener = socketCreate();
  if (listener == kNoSocket) return kNoSocket;
  BOOL on = TRUE;
  setsockopt(toSocket(listener), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in local = socketAddress(address, port);
  if (::bind(toSocket(listener), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(toSocket(listener), backlog) != 0) {
    socketClose(listener);
    return kNoSocket;
  }
  return listener;
}

int socketLocalPort(SocketHandle socket) {
  if (socket == kNoSocket) return -1;
  sockaddr_in local{};
  int size = sizeof local;
  if (getsockname(toSocket(socket), reinterpret_cast<sockaddr*>(&local), &size) != 0 || local.sin_family != AF_INET)
    return -1;
  return ntohs(local.sin_port);
}

int socketWaitReadable(SocketHandle socket, int timeoutMs) { return waitFor(socket, true, timeoutMs); }

int socketWaitWritable(SocketHandle socket, int timeoutMs) { return waitFor(socket, false, timeoutMs); }

SocketHandle socketAccept(SocketHandle listener) {
  if (listener == kNoSocket) return kNoSocket;
  SOCKET accepted = ::accept(toSocket(listener), nullptr, nullptr);
  return accepted == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(accepted);
}

bool socketSetNoDelay(SocketHandle socket) {
  if (socket == kNoSocket) return false;
  BOOL on = TRUE;
  return setsockopt(toSocket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

// --- SocketWaiter: the socket's FD_READ / FD_CLOSE event beside a wake event ---

namespace {

HANDLE toEvent(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::intptr_t newEvent(bool manualReset) {
  HANDLE event = CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr);
  return event ? reinterpret_cast<std::intptr_t>(event) : -1;
}

} // namespace

SocketWaiter::SocketWaiter() noexcept {
  handles_[0] = newEvent(false); // auto-reset: a wait takes the wake
  handles_[1] = newEvent(true);  // WSAEventSelect's event, reset before each wait
}

SocketWaiter::~SocketWaiter() {
  for (std::intptr_t handle : handles_)
    if (handle != -1) CloseHandle(toEvent(handle));
}

bool SocketWaiter::valid() const noexcept { return handles_[0] != -1 && handles_[1] != -1; }

void SocketWaiter::wake() noexcept {
  if (handles_[0] != -1) SetEvent(toEvent(handles_[0]));
}

SocketWaiter::Result SocketWaiter::wait(SocketHandle socket, int timeoutMs) noexcept {
  const DWORD slice = DWORD(timeoutMs >= 0 && timeoutMs < kFallbackSliceMs ? timeoutMs : kFallbackSliceMs);
  if (!valid()) {
    Sleep(slice);
    return Result::Readable;
  }
  HANDLE events[2] = {toEvent(handles_[0]), toEvent(handles_[1])};
  DWORD count = 1;
  if (socket != kNoSocket) {
    // Selecting again records FD_READ at once when data is already waiting, and every
    // receive re-enables it, so no readiness is missed between two waits.
    ResetEvent(events[1]);
    if (WSAEventSelect(toSocket(socket), events[1], FD_READ | FD_CLOSE) != 0) {
      Sleep(slice); // cannot watch this socket: poll it
      return Result::Readable;
    }
    count = 2;
  }
  const DWORD result = WaitForMultipleObjects(count, events, FALSE, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
  if (result == WAIT_OBJECT_0) return Result::Woken;
  if (result == WAIT_TIMEOUT) return Result::TimedOut;
  return Result::Readable; // the socket's event, or a failed wait: the caller looks
}

} // namespace platform
