// Built only by the page build (hosts/web/wasm takes every file of platform/common).
// The page build (emscripten) reaches its sockets through a bridge of its own
// (hosts/web/platform), which has no readiness wait yet. There a SocketWaiter polls: each wait
// is a short pause after which the socket is looked at, as the Receiver thread's passes were.
// The definitions are weak, so a bridge that defines SocketWaiter itself replaces them.
#if defined(__EMSCRIPTEN__)
#include "platform/SocketWaiter.h"

#include "platform/Time.h"

namespace platform {

__attribute__((weak)) SocketWaiter::SocketWaiter() noexcept {}
__attribute__((weak)) SocketWaiter::~SocketWaiter() {}
__attribute__((weak)) bool SocketWaiter::valid() const noexcept { return handles_[0] >= 0; } // never: none made
__attribute__((weak)) void SocketWaiter::wake() noexcept {}

__attribute__((weak)) SocketWaiter::Result SocketWaiter::wait(SocketHandle, int timeoutMs) noexcept {
  sleepMs(std::uint32_t(timeoutMs >= 0 && timeoutMs < kFallbackSliceMs ? timeoutMs : kFallbackSliceMs));
  return Result::Readable;
}

} // namespace platform
#endif
