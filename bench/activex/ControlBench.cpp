// CamViewControl.ocx in a container of ours, with the recorder in a process of its own on
// 127.0.0.1. Prints:
//   1. DoVerb to the first painted picture: from in-place activation to the first paint of
//      the control's window that shows the recorder's picture, for controls one after the
//      other (the module already loaded).
//   2. 16 controls in one container, each with its own connection to a recorder sending at
//      most 25 pictures a second (a still, so that the recorder's encoding does not hold it
//      up): the container's CPU time and resident memory per control, and pictures painted
//      per control and second.
//   3. Closing and releasing a control while its viewer receives and decodes pictures, while
//      its recorder has gone silent, and while it is still connecting (to a recorder whose
//      queue is full).
// Run: scripts/wine-run build/mingw64/tests/wine/activex/activex_bench.exe
#include "tests/wine/activex/ControlModule.h"
#include "tests/wine/activex/TestContainer.h"
#include "tests/wine/support/MessageLoop.h"
#include "tests/wine/support/NativeViewer.h"
#include "tests/wine/support/RecorderProcess.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using activextest::EmbeddedControl;
using activextest::TextPropertyBag;
using winetest::RecorderProcess;

double nowMs() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

double processCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& time) {
    return double((ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

double residentMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return double(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// Counts the paints of control windows: their window procedure is wrapped.
struct PaintCounter {
  static inline std::map<HWND, WNDPROC> original;
  static inline std::map<HWND, long> paints;

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcW(original[window], window, message, wParam, lParam);
    if (message == WM_PAINT) ++paints[window];
    return result;
  }
  static void watch(HWND window) {
    paints[window] = 0;
    original[window] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaintCounter::procedure)));
  }
  static void forget(HWND window) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original[window]));
    original.erase(window);
    paints.erase(window);
  }
};

TextPropertyBag parameters(int port, int connectionId) {
  TextPropertyBag bag;
  bag.set(L"IP", L"127.0.0.1");
  bag.set(L"Port", std::to_wstring(port));
  bag.set(L"ConnectionID", std::to_wstring(connectionId));
  return bag;
}

void summary(const char* name, std::vector<double> values, const char* unit) {
  if (values.empty()) {
    std::printf("%s: no measurement\n", name);
    return;
  }
  std::sort(values.begin(), values.end());
  std::printf("%s: min %.1f %s, median %.1f %s, max %.1f %s (%zu runs)\n", name, values.front(), unit,
              values[values.size() / 2], unit, values.back(), unit, values.size());
}

void activationToFirstPicture() {
  constexpr int kWidth = 720, kHeight = 576, kRuns = 15;
  RecorderProcess recorder({"fixed:1"});
  if (!recorder.started()) return (void)std::printf("recorder: %s\n", recorder.failure().c_str());
  const paint::SoftwareCanvas expected = winetest::nativeFixedPicture(1, kWidth, kHeight);
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    EmbeddedControl control(kWidth, kHeight);
    TextPropertyBag bag = parameters(recorder.port(0), 1);
    if (FAILED(control.create()) || FAILED(control.load(&bag))) return (void)std::printf("cannot create the control\n");
    const double start = nowMs();
    if (FAILED(control.activate())) return (void)std::printf("cannot activate the control\n");
    const HWND window = control.window();
    PaintCounter::watch(window);
    long seen = 0;
    const bool shown = winetest::pumpUntil(
        [&] {
          if (PaintCounter::paints[window] == seen) return false;
          seen = PaintCounter::paints[window];
          return winetest::samePixels(control.readBack(), expected);
        },
        30000);
    if (shown) times.push_back(nowMs() - start);
    PaintCounter::forget(window);
  }
  summary("DoVerb to first painted picture (720 x 576)", times, "ms");
}

void sixteenControls() {
  constexpr int kColumns = 4, kRows = 4, kWidth = 180, kHeight = 144, kMeasureMs = 10000;
  RecorderProcess recorder({"still:25"});
  if (!recorder.started()) return (void)std::printf("recorder: %s\n", recorder.failure().c_str());
  activextest::HostWindow host(kColumns * kWidth, kRows * kHeight);
  { // the module loaded, its fonts and tables touched, before the baseline
    EmbeddedControl warm(host.handle(), RECT{0, 0, kWidth, kHeight});
    warm.open(nullptr);
    winetest::dispatchPending();
  }
  winetest::dispatchPending();
  const double baseline = residentMiB();
  std::vector<std::unique_ptr<EmbeddedControl>> controls;
  for (int i = 0; i < kColumns * kRows; ++i) {
    const RECT place{(i % kColumns) * kWidth, (i / kColumns) * kHeight, (i % kColumns + 1) * kWidth,
                     (i / kColumns + 1) * kHeight};
    auto control = std::make_unique<EmbeddedControl>(host.handle(), place);
    TextPropertyBag bag = parameters(recorder.port(0), i + 1);
    if (FAILED(control->create()) || FAILED(control->load(&bag)) || FAILED(control->activate()))
      return (void)std::printf("cannot start control %d\n", i);
    PaintCounter::watch(control->window());
    controls.push_back(std::move(control));
  }
  // Every control has painted a few pictures: the connections are up and running.
  const bool running = winetest::pumpUntil(
      [&] {
        for (auto& control : controls)
          if (PaintCounter::paints[control->window()] < 5) return false;
        return true;
      },
      60000);
  if (!running) std::printf("not every control painted pictures within 60 s\n");
  long paintsBefore = 0;
  for (auto& control : controls) paintsBefore += PaintCounter::paints[control->window()];
  const double cpuBefore = processCpuMs();
  const double start = nowMs();
  winetest::pumpUntil([] { return false; }, kMeasureMs);
  const double elapsed = nowMs() - start;
  const double cpu = processCpuMs() - cpuBefore;
  long paintsAfter = 0;
  for (auto& control : controls) paintsAfter += PaintCounter::paints[control->window()];
  const double resident = residentMiB();
  const double count = double(controls.size());
  std::printf("16 controls (%d x %d each, recorder at 25 pictures/s):\n", kWidth, kHeight);
  std::printf("  CPU per control: %.1f %% of one core (container process, %.0f ms CPU in %.0f ms)\n",
              100.0 * cpu / elapsed / count, cpu, elapsed);
  std::printf("  resident memory per control: %.1f MiB (%.1f MiB with 16 controls, %.1f MiB before)\n",
              (resident - baseline) / count, resident, baseline);
  const double paints = double(paintsAfter - paintsBefore);
  std::printf("  paints per control and second: %.1f; CPU per painted picture: %.1f ms\n",
              paints / count / (elapsed / 1000.0), paints > 0 ? cpu / paints : 0.0);
  for (auto& control : controls) PaintCounter::forget(control->window());
  controls.clear();
}

void closing(const std::vector<std::string>& servers, const char* state, bool waitForPicture, int runs) {
  RecorderProcess recorder(servers);
  if (!recorder.started()) return (void)std::printf("recorder: %s\n", recorder.failure().c_str());
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    auto control = std::make_unique<EmbeddedControl>(360, 288);
    TextPropertyBag bag = parameters(recorder.port(0), 1);
    control->open(&bag);
    const HWND window = control->window();
    PaintCounter::watch(window);
    if (waitForPicture) winetest::pumpUntil([&] { return PaintCounter::paints[window] >= 3; }, 30000);
    PaintCounter::forget(window);
    const double start = nowMs();
    control.reset(); // InPlaceDeactivate, Close, SetClientSite(null), Release
    times.push_back(nowMs() - start);
  }
  summary((std::string("close and release while ") + state).c_str(), times, "ms");
}

} // namespace

int main() {
  if (OleInitialize(nullptr) != S_OK || FAILED(activextest::registerControl(true))) {
    std::printf("cannot register %ls\n", activextest::controlPath().c_str());
    return 1;
  }
  activationToFirstPicture();
  sixteenControls();
  closing({"simulator", "--fps", "0"}, "receiving and decoding", true, 5);
  closing({"fixed:1"}, "the recorder is silent", true, 5);
  closing({"full"}, "connecting", false, 5);
  activextest::registerControl(false);
  CoFreeUnusedLibrariesEx(0, 0);
  OleUninitialize();
  std::fflush(stdout);
  return 0;
}
