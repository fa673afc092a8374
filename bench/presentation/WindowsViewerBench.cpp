// The viewers' cost in a Windows process (the i686 and x86_64 builds, under Wine here): many
// viewers, each in a window of its own on this thread, driven through the hosts' facade as
// the browser hosts drive them and painted with GDI on WM_PAINT, against a recorder in
// another process (camview-recorder --loop N serves pre-encoded pictures, so no encoding is
// counted; start it first):
//
//   camview-recorder --port 0 --loop 25 --quiet &           (prints "listening on ...:PORT")
//   scripts/wine-run viewer_cpu_bench_win.exe --port PORT [--cameras N] [--size WxH]
//       [--seconds S]
//
// Prints this process's CPU time per camera (and scaled to 25 pictures per second), heap
// allocations per picture, pictures thrown away and pictures shown per second and viewer.
#include "tests/support/CountedAllocation.h"
#include "engine/LanguageTable.h"
#include "presentation/EmbeddedViewer.h"
#include "platform/paint/win32/GdiCanvas.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// One viewer in a window of its own, as the control keeps one.
struct Cell {
  CViewer* viewer = nullptr;
  HWND window = nullptr;
  int width = 0;
  int height = 0;
};

LRESULT CALLBACK cellProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* cell = reinterpret_cast<Cell*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (cell && cell->viewer) {
    if (message >= platform::kMsgPictureWaiting && message <= platform::kMsgOfferPicture) {
      ViewerHostWindow host;
      host.window = window;
      host.clientWidth = cell->width;
      host.clientHeight = cell->height;
      embed::dispatchMessage(
          cell->viewer,
          platform::WindowMessage{message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam)},
          host);
      return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT) {
      PAINTSTRUCT paintInfo;
      HDC dc = BeginPaint(window, &paintInfo);
      paint::GdiCanvas canvas(dc);
      embed::paint(cell->viewer, canvas, {0, 0, cell->width, cell->height});
      EndPaint(window, &paintInfo);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

double processCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto seconds = [](const FILETIME& t) {
    return double((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Runs this thread's message loop until `done` or `limitMs`; false when the time ran out.
template <typename Done>
bool runLoop(DWORD limitMs, Done done) {
  const DWORD begin = GetTickCount();
  while (!done()) {
    const DWORD elapsed = GetTickCount() - begin;
    if (elapsed >= limitMs) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, limitMs - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // Sixteen viewers keep the queue from ever running dry: the time is looked at in between.
    MSG message;
    for (int i = 0; i < 64 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) DispatchMessageA(&message);
  }
  return true;
}

struct Counts {
  long long shown = 0;
  long long dropped = 0;
  int fewest = 0;
};

Counts count(const std::vector<std::unique_ptr<Cell>>& cells) {
  Counts counts;
  counts.fewest = -1;
  for (const auto& cell : cells) {
    const embed::ViewerState state = embed::viewerState(cell->viewer);
    counts.shown += state.picturesShown;
    counts.dropped += state.picturesLost;
    if (counts.fewest < 0 || state.picturesShown < counts.fewest) counts.fewest = state.picturesShown;
  }
  return counts;
}

} // namespace

int main(int argc, char** argv) {
  int port = 0, cameras = 16, width = 696, height = 576;
  double seconds = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--port")
      port = std::atoi(argv[i + 1]);
    else if (option == "--cameras")
      cameras = std::max(1, std::atoi(argv[i + 1]));
    else if (option == "--seconds")
      seconds = std::max(1.0, std::atof(argv[i + 1]));
    else if (option == "--size" && std::sscanf(argv[i + 1], "%dx%d", &width, &height) == 2)
      continue;
    else
      port = 0;
  }
  if (port <= 0 || width <= 0 || height <= 0) {
    std::fprintf(stderr, "usage: %s --port PORT [--cameras N] [--size WxH] [--seconds S]\n", argv[0]);
    return 2;
  }

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = cellProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "CamviewBenchCell";
  RegisterClassA(&windowClass);
  std::vector<std::unique_ptr<Cell>> cells;
  for (int id = 0; id < cameras; ++id) {
    auto cell = std::make_unique<Cell>();
    cell->width = width;
    cell->height = height;
    embed::ViewerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.connectionId = id;
    settings.language = CLanguageTable::kEnglish;
    cell->viewer = embed::createViewer(settings);
    cell->window =
        CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, windowClass.lpszClassName, "", WS_POPUP, (id % 4) * width,
                        (id / 4) * height, width, height, nullptr, nullptr, windowClass.hInstance, cell.get());
    if (!cell->viewer || !cell->window) {
      std::fprintf(stderr, "cannot make viewer %d\n", id);
      return 1;
    }
    ShowWindow(cell->window, SW_SHOWNOACTIVATE);
    embed::attachWindow(cell->viewer, cell->window);
    embed::startViewer(cell->viewer);
    cells.push_back(std::move(cell));
  }

  bool ok = runLoop(120000, [&] { return count(cells).fewest >= 55; }); // every buffer at its size
  if (!ok) std::printf("the viewers did not get going within 120 s (slowest: %d pictures)\n", count(cells).fewest);
  if (ok) {
    const Counts before = count(cells);
    const long long allocationsBefore = testsupport::allocationCount();
    const double cpuBefore = processCpuSeconds();
    const DWORD begin = GetTickCount();
    runLoop(DWORD(seconds * 1000), [] { return false; });
    const double elapsed = (GetTickCount() - begin) / 1000.0;
    const double cpu = processCpuSeconds() - cpuBefore;
    const long long allocated = testsupport::allocationCount() - allocationsBefore;
    const Counts after = count(cells);
    const long long shown = after.shown - before.shown;
    const double perPicture = shown > 0 ? cpu / double(shown) : 0;
    std::printf("viewer_cpu_bench_win (%d-bit): %d viewers of %d x %d painted with GDI, %.1f s\n",
                int(sizeof(void*) * 8), cameras, width, height, elapsed);
    std::printf("  pictures shown per second and viewer: %.2f (the recorder serves 25); thrown away: %lld\n",
                double(shown) / elapsed / cameras, after.dropped - before.dropped);
    std::printf("  CPU of this process: %.1f%% of one core, %.2f%% per camera; %.3f ms per picture = %.2f%% of a core "
                "per camera at 25 pictures/s\n",
                cpu / elapsed * 100.0, cpu / elapsed / cameras * 100.0, perPicture * 1000.0, perPicture * 2500.0);
    std::printf("  heap allocations: %lld for %lld pictures = %.3f per picture\n", allocated, shown,
                shown > 0 ? double(allocated) / double(shown) : 0.0);
  }
  for (auto& cell : cells) {
    embed::destroyViewer(cell->viewer);
    DestroyWindow(cell->window);
  }
  return ok ? 0 : 1;
}
