#pragma once
// IPv4 TCP stream sockets: the client calls the viewer's connection uses, and the few
// server calls the recorder simulator and the test recorders need.
#include <cstdint>

namespace platform {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Starts and stops the socket library of the process (WSAStartup / WSACleanup on Windows;
// nothing on POSIX). Hosts that own the process's networking call these; counted.
bool networkStartup();
void networkCleanup();

// A new IPv4 TCP socket, blocking; kNoSocket on failure.
SocketHandle socketCreate();

// Blocking connect. `host` is a dotted IPv4 address, or else a name whose first IPv4
// address the resolver returns. False for a port outside 0..65535, a null or empty host, an
// unresolvable name or a failed connect; the socket stays open either way. After a connect
// that reached the network and failed (refused, unreachable) do not retry with the same
// socket: Wine (like BSD systems) answers a second connect on it with an error
// (WSAECONNABORTED); close it and create a fresh one. After a rejected port or host the
// socket is untouched and may be reused.
bool socketConnect(SocketHandle socket, const char* host, int port);

// --- connecting without blocking the caller ---

// An IPv4 address in network byte order (as in in_addr).
using Address = std::uint32_t;

// A dotted IPv4 address (inet_addr on Windows, inet_pton on POSIX), without asking any
// server. False for anything else, a null or an empty text.
bool parseDottedAddress(const char* host, Address& address);
// The first IPv4 address the system's resolver gives for `host`. Blocks, possibly for many
// seconds: call it where nobody waits for it (platform/NameLookup.h).
bool resolveName(const char* host, Address& address);

// Switches the socket to non-blocking mode and starts connecting it: 1 connected already,
// 0 under way (socketConnectWait), -1 failed (port outside 0..65535 included). After a
// failure close the socket; the next attempt needs a fresh one.
int socketConnectStart(SocketHandle socket, Address address, int port);
// Waits up to `timeoutMs` for a connect that socketConnectStart left under way: 1 connected,
// 0 still under way, -1 failed (refused, unreachable).
int socketConnectWait(SocketHandle socket, int timeoutMs);

// Switches the socket to non-blocking mode.
bool socketSetNonBlocking(SocketHandle socket);

// Non-blocking transfer: the byte count, 0 when the call would block, -1 on any other
// error. socketReceive also gives -1 when the peer has closed the connection.
int socketSend(SocketHandle socket, const void* data, int length);
int socketReceive(SocketHandle socket, void* destination, int length);

// Closes the socket; kNoSocket is ignored.
void socketClose(SocketHandle socket);

// --- server side ---

// A socket bound to host:port (dotted address, or null/empty for every local address;
// port 0 picks a free one) and listening;
// kNoSocket on failure. Address reuse is enabled so a restarted server can bind at once.
SocketHandle socketListen(const char* host, int port, int backlog = 16);

// The local port a socket is bound to, or -1.
int socketLocalPort(SocketHandle socket);

// Waits up to `timeoutMs` (negative: without limit) for the socket to become readable
// (data, a closed peer or, on a listening socket, a pending connection). 1 readable,
// 0 timed out, -1 error.
int socketWaitReadable(SocketHandle socket, int timeoutMs);

// Waits up to `timeoutMs` for the socket to accept more data for sending. 1, 0 or -1 as above.
int socketWaitWritable(SocketHandle socket, int timeoutMs);

// Accepts one pending connection (blocking socket); kNoSocket on failure.
SocketHandle socketAccept(SocketHandle listener);

// Disables Nagle's algorithm (small replies go out at once).
bool socketSetNoDelay(SocketHandle socket);

} // namespace platform
