#include "platform/Thread.h"

#include <windows.h>

#include <new>

namespace platform {

namespace {

struct StartRecord {
  ThreadEntry entry;
  void* argument;
};

// CreateThread wants a WINAPI entry; the viewer's entries use the default convention.
DWORD WINAPI runThread(LPVOID startRecord) {
  StartRecord start = *static_cast<StartRecord*>(startRecord);
  delete static_cast<StartRecord*>(startRecord);
  return start.entry(start.argument);
}

} // namespace

ThreadHandle threadStart(ThreadEntry entry, void* argument) {
  ThreadHandle thread;
  if (entry == nullptr) return thread;
  auto* start = new (std::nothrow) StartRecord{entry, argument};
  if (start == nullptr) return thread;
  HANDLE handle = CreateThread(nullptr, 0, runThread, start, 0, nullptr);
  if (handle == nullptr) {
    delete start;
    return thread;
  }
  thread.value = reinterpret_cast<std::uintptr_t>(handle);
  return thread;
}

bool threadStartDetached(ThreadEntry entry, void* argument) {
  ThreadHandle thread = threadStart(entry, argument);
  if (!thread.running()) return false;
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
