#include "platform/Thread.h"

#include <windows.h>

#include <new>

namespace platform {

namespace {

struct StartRecord {
  ThreadEntry entry;
  void* argument;
  HMODULE pinned; // a detached thread's hold on the module its code lives in, or null
};

// CreateThread wants a WINAPI entry; the viewer's entries use the default convention.
DWORD WINAPI runThread(LPVOID startRecord) {
  StartRecord start = *static_cast<StartRecord*>(startRecord);
  delete static_cast<StartRecord*>(startRecord);
  const DWORD result = start.entry(start.argument);
  // Letting go of the module and ending the thread in one call: the thread never returns
  // into code that the last FreeLibrary may have unmapped.
  if (start.pinned) FreeLibraryAndExitThread(start.pinned, result);
  return result;
}

ThreadHandle startThread(ThreadEntry entry, void* argument, HMODULE pinned) {
  ThreadHandle thread;
  if (entry == nullptr) return thread;
  auto* start = new (std::nothrow) StartRecord{entry, argument, pinned};
  if (start == nullptr) return thread;
  HANDLE handle = CreateThread(nullptr, 0, runThread, start, 0, nullptr);
  if (handle == nullptr) {
    delete start;
    return thread;
  }
  thread.value = reinterpret_cast<std::uintptr_t>(handle);
  return thread;
}

} // namespace

ThreadHandle threadStart(ThreadEntry entry, void* argument) { return startThread(entry, argument, nullptr); }

bool threadStartDetached(ThreadEntry entry, void* argument) {
  // Nobody waits for this thread, so nothing keeps a DLL holding this code (a plug-in, a
  // control) loaded until the thread is done: the thread holds it itself, taken here before
  // it starts so that no unload can come in between.
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&runThread), &pinned))
    return false;
  ThreadHandle thread = startThread(entry, argument, pinned);
  if (!thread.running()) {
    FreeLibrary(pinned);
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread.value)); // the thread runs on without its handle
  return true;
}

void threadRelease(ThreadHandle& thread) {
  if (!thread.running()) return;
  auto handle = reinterpret_cast<HANDLE>(thread.value);
  // A thread releasing itself cannot wait for its own end.
  if (GetThreadId(handle) != GetCurrentThreadId()) WaitForSingleObject(handle, INFINITE);
  CloseHandle(handle);
  thread.value = 0;
}

} // namespace platform
