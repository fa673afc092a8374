#pragma once
// Which run of a viewer posted a message. The wParam of the messages kMsgPictureWaiting to kMsgOfferPicture carries in
// its low 16 bits what the message contract defines (a status index, a frame index, or 0)
// and in bits 16 to 30 the number of the viewer start (the run) whose thread posted it. A
// message posted before a stop may still wait in the window's queue after the next start;
// its run number tells the window side to ignore it. Bits 16 to 30 fit a 32-bit WPARAM and
// leave its top bit clear. Run 0 is never a viewer start's; a message is taken only when its
// wParam is exactly a tag of the current run, so a browser's own WM_USER + n (the plug-in
// shares the browser's window) is not mistaken for the viewer's unless it matches by chance.
#include <cstdint>

namespace runtag {

constexpr unsigned kRunShift = 16;
constexpr std::uint32_t kRunMask = 0x7FFF;
constexpr std::uintptr_t kValueMask = 0xFFFF;

constexpr std::uintptr_t tag(std::uint32_t run, std::uintptr_t value) {
  return (std::uintptr_t(run & kRunMask) << kRunShift) | (value & kValueMask);
}
constexpr std::uint32_t runOf(std::uintptr_t wParam) { return std::uint32_t(wParam >> kRunShift) & kRunMask; }
constexpr std::uintptr_t valueOf(std::uintptr_t wParam) { return wParam & kValueMask; }
// True when `wParam` is what tag(run, value) gives for a running viewer: no bits outside.
constexpr bool isTagOf(std::uint32_t run, std::uintptr_t wParam) {
  return run != 0 && run <= kRunMask && wParam == tag(run, valueOf(wParam));
}

// The run after `run`: 1 to 32767 and round again, never 0.
constexpr std::uint32_t nextRun(std::uint32_t run) { return (run & kRunMask) == kRunMask ? 1 : (run & kRunMask) + 1; }

} // namespace runtag
