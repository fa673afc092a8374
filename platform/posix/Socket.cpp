// IPv4 TCP sockets on BSD sockets, and the waiter that sleeps until one is readable. Sends
// never raise SIGPIPE (MSG_NOSIGNAL); descriptors are close-on-exec so that programs started
// by a host or a test do not inherit them.
#include "platform/Socket.h"

#include "platform/SocketWaiter.h"
#include "platform/Time.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

int toDescriptor(SocketHandle socket) { return static_cast<int>(socket); }

bool validPort(int port) { return port >= 0 && port <= 65535; }

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// A dotted IPv4 address is used as it is; anything else goes to the resolver, whose first
// IPv4 address is taken.
bool resolveIPv4(const char* host, in_addr* address) {
  Address found = 0;
  if (!parseDottedAddress(host, found) && !resolveName(host, found)) return false;
  address->s_addr = found;
  return true;
}

sockaddr_in socketAddress(in_addr address, int port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(static_cast<std::uint16_t>(port));
  result.sin_addr = address;
  return result;
}

int waitFor(SocketHandle socket, short events, int timeoutMs) {
  if (socket == kNoSocket) return -1;
  pollfd entry{toDescriptor(socket), events, 0};
  int result = poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
  if (result < 0) return errno == EINTR ? 0 : -1;
  if (result == 0) return 0;
  // An error or hang-up also counts as ready: the next receive or send reports it.
  return (entry.revents & POLLNVAL) ? -1 : 1;
}

} // namespace

bool parseDottedAddress(const char* host, Address& address) {
  if (host == nullptr || host[0] == '\0') return false;
  in_addr parsed{};
  if (inet_pton(AF_INET, host, &parsed) != 1) return false;
  address = parsed.s_addr;
  return true;
}

bool resolveName(const char* host, Address& address) {
  if (host == nullptr || host[0] == '\0') return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

int socketConnectStart(SocketHandle socket, Address address, int port) {
  if (socket == kNoSocket || !validPort(port) || !socketSetNonBlocking(socket)) return -1;
  in_addr target{};
  target.s_addr = address;
  sockaddr_in remote = socketAddress(target, port);
  if (::connect(toDescriptor(socket), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return 1;
  return (errno == EINPROGRESS || errno == EINTR) ? 0 : -1;
}

int socketConnectWait(SocketHandle socket, int timeoutMs) {
  const int ready = waitFor(socket, POLLOUT, timeoutMs);
  if (ready <= 0) return ready;
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(toDescriptor(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return -1;
  return error == 0 ? 1 : -1;
}

bool networkStartup() { return true; }
void networkCleanup() {}

SocketHandle socketCreate() {
  int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return descriptor < 0 ? kNoSocket : descriptor;
}

bool socketConnect(SocketHandle socket, const char* host, int port) {
  if (socket == kNoSocket || !validPort(port)) return false;
  in_addr address{};
  if (!resolveIPv4(host, &address)) return false;
  sockaddr_in target = socketAddress(address, port);
  int result;
  do {
    result = ::connect(toDescriptor(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool socketSetNonBlocking(SocketHandle socket) {
  if (socket == kNoSocket) return false;
  int flags = fcntl(toDescriptor(socket), F_GETFL, 0);
  return flags >= 0 && fcntl(toDescriptor(socket), F_SETFL, flags | O_NONBLOCK) == 0;
}

int socketSend(SocketHandle socket, const void* data, int length) {
  if (socket == kNoSocket || length < 0 || (data == nullptr && length > 0)) return -1;
  if (length == 0) return 0;
  ssize_t sent = ::send(toDescriptor(socket), data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (sent < 0) return wouldBlock(errno) ? 0 : -1;
  return static_cast<int>(sent);
}

int socketReceive(SocketHandle socket, void* destination, int length) {
  if (socket == kNoSocket || length < 0 || (destination == nullptr && length > 0)) return -1;
  if (length == 0) return 0; // nothing asked for; recv's 0 would read as a closed connection
  ssize_t received = ::recv(toDescriptor(socket), destination, static_cast<size_t>(length), 0);
  if (received == 0) return -1; // orderly close by the peer
  if (received < 0) return wouldBlock(errno) ? 0 : -1;
  return static_cast<int>(received);
}

void socketClose(SocketHandle socket) {
  if (socket != kNoSocket) ::close(toDescriptor(socket));
}

SocketHandle socketListen(const char* host, int port, int backlog) {
  if (!validPort(port)) return kNoSocket;
  in_addr address{};
  address.s_addr = htonl(INADDR_ANY);
  if (host != nullptr && host[0] != '\0' && inet_pton(AF_INET, host, &address) != 1) return kNoSocket;
  SocketHandle listener = socketCreate();
  if (listener == kNoSocket) return kNoSocket;
  int on = 1;
  setsockopt(toDescriptor(listener), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in local = socketAddress(address, port);
  if (::bind(toDescriptor(listener), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(toDescriptor(listener), backlog) != 0) {
    socketClose(listener);
    return kNoSocket;
  }
  return listener;
}

int socketLocalPort(SocketHandle socket) {
  if (socket == kNoSocket) return -1;
  sockaddr_in local{};
  socklen_t size = sizeof local;
  if (getsockname(toDescriptor(socket), reinterpret_cast<sockaddr*>(&local), &size) != 0 || local.sin_family != AF_INET)
    return -1;
  return ntohs(local.sin_port);
}

int socketWaitReadable(SocketHandle socket, int timeoutMs) { return waitFor(socket, POLLIN, timeoutMs); }

int socketWaitWritable(SocketHandle socket, int timeoutMs) { return waitFor(socket, POLLOUT, timeoutMs); }

SocketHandle socketAccept(SocketHandle listener) {
  if (listener == kNoSocket) return kNoSocket;
  int descriptor;
  do {
    descriptor = ::accept4(toDescriptor(listener), nullptr, nullptr, SOCK_CLOEXEC);
  } while (descriptor < 0 && errno == EINTR);
  return descriptor < 0 ? kNoSocket : descriptor;
}

bool socketSetNoDelay(SocketHandle socket) {
  if (socket == kNoSocket) return false;
  int on = 1;
  return setsockopt(toDescriptor(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

// --- SocketWaiter: an eventfd beside the socket in poll() ---

SocketWaiter::SocketWaiter() noexcept { handles_[0] = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

SocketWaiter::~SocketWaiter() {
  if (handles_[0] >= 0) ::close(toDescriptor(handles_[0]));
}

bool SocketWaiter::valid() const noexcept { return handles_[0] >= 0; }

void SocketWaiter::wake() noexcept {
  if (handles_[0] < 0) return;
  // write() is async-signal-safe; a full counter (2^64 - 2 wakes not taken) loses nothing.
  const std::uint64_t one = 1;
  const ssize_t written = ::write(toDescriptor(handles_[0]), &one, sizeof one);
  (void)written;
}

SocketWaiter::Result SocketWaiter::wait(SocketHandle socket, int timeoutMs) noexcept {
  if (handles_[0] < 0) {
    sleepMs(std::uint32_t(timeoutMs >= 0 && timeoutMs < kFallbackSliceMs ? timeoutMs : kFallbackSliceMs));
    return Result::Readable;
  }
  pollfd entries[2] = {{toDescriptor(handles_[0]), POLLIN, 0}, {toDescriptor(socket), POLLIN, 0}};
  const nfds_t count = socket == kNoSocket ? 1 : 2;
  const int ready = ::poll(entries, count, timeoutMs < 0 ? -1 : timeoutMs);
  if (ready < 0) return errno == EINTR ? Result::Woken : Result::Readable; // the caller looks
  if (ready == 0) return Result::TimedOut;
  if (entries[0].revents != 0) {
    std::uint64_t wakes = 0;
    const ssize_t taken = ::read(toDescriptor(handles_[0]), &wakes, sizeof wakes); // resets the counter
    (void)taken;
    return Result::Woken;
  }
  // Data, a hang-up or an error all count as readable: the next receive reports which.
  return Result::Readable;
}

} // namespace platform
