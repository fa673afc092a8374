#pragma once
// Where a worker thread posts its messages: the viewer's window and the viewer's run number,
// which every posted wParam carries (engine/RunTag.h).
//
// The window may change while the worker runs (a plug-in gets, changes and loses its
// window). Changing it waits for a post in flight to finish, so once setWindow has returned
// nothing is posted into the old handle any more: a host may destroy the window right after
// detaching it, and Windows may give its handle to another window.
#include "platform/Window.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class NotifyTarget {
public:
  void setWindow(platform::WindowHandle window) noexcept;
  platform::WindowHandle window() const noexcept { return window_.load(std::memory_order_acquire); }
  // Set by the owner before the worker starts.
  void setRun(std::uint32_t run) noexcept { run_.store(run, std::memory_order_release); }
  std::uint32_t run() const noexcept { return run_.load(std::memory_order_acquire); }

  // Posts `message` with wParam = the run tag and `value`. False without a window or when
  // the post failed (a full or vanished queue).
  bool post(std::uint32_t message, std::uintptr_t value, std::intptr_t lParam) const noexcept;

private:
  // Held only around a post and a change of window: posts do not block.
  mutable std::mutex posting_;
  std::atomic<platform::WindowHandle> window_{nullptr};
  std::atomic<std::uint32_t> run_{0};
};
