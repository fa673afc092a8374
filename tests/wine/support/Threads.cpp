#include "tests/wine/support/Threads.h"

#include <tlhelp32.h>

#include <cstdint>
#include <functional>

namespace winetest {
namespace {

// NtQueryInformationThread(ThreadQuerySetWin32StartAddress): the address a thread was
// started on.
using QueryThread = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
constexpr int kThreadStartAddress = 9;

// Counts the threads of this process for which `counts` holds; -1 when they cannot be listed.
int countThreads(const std::function<bool(DWORD threadId)>& counts) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    count += entry.th32OwnerProcessID == GetCurrentProcessId() && counts(entry.th32ThreadID);
  CloseHandle(snapshot);
  return count;
}

std::uintptr_t imageSize(HMODULE module) {
  const auto* base = reinterpret_cast<const std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return nt->OptionalHeader.SizeOfImage;
}

} // namespace

int threadsOfThisProcess() {
  return countThreads([](DWORD) { return true; });
}

int threadsStartedIn(HMODULE module) {
  auto query = reinterpret_cast<QueryThread>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  if (!query || !module) return -1;
  const auto first = reinterpret_cast<std::uintptr_t>(module);
  const std::uintptr_t end = first + imageSize(module);
  return countThreads([&](DWORD threadId) {
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (!thread) return false;
    void* start = nullptr;
    const bool inModule = query(thread, kThreadStartAddress, &start, sizeof start, nullptr) == 0 &&
                          reinterpret_cast<std::uintptr_t>(start) >= first &&
                          reinterpret_cast<std::uintptr_t>(start) < end;
    CloseHandle(thread);
    return inModule;
  });
}

} // namespace winetest
