#pragma once
// Which run of a viewer posted a message. The wParam of the messages 1025 to 1029 carries in
// its low 16 bits what the message contract defines (a status index, a frame index, or 0)
// and in bits 16 to 30 the number of the viewer start (the run) whose thread posted it. A
// message posted before a stop may still wait in the window's queue after the next start;
// its run number tells the window side to ignore it. Bits 16 to 30 fit a 32-bit WPARAM and
// leave its top bit clear; run 0 marks a message that no run posted (a host's own), which
// is always taken.
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

// The run after `run`: 1 to 32767 and round again, never 0.
constexpr std::uint32_t nextRun(std::uint32_t run) { return (run & kRunMask) == kRunMask ? 1 : (run & kRunMask) + 1; }

} // namespace runtag
