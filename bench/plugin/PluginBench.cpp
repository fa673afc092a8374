// Figures of npcamview.dll in the test browser under Wine, against the recorder simulator on
// 127.0.0.1 (a process of its own, so its work is not counted here):
//   - time from NPP_New to the first painted picture;
//   - CPU time and memory per instance with 16 instances in one process;
//   - how long NPP_Destroy takes in each state of the viewer's connection;
//   - with --unpaced: one instance (720 x 576) against a recorder that answers every request at
//     once, and the page's own 50 ms timer: pictures per second, timer events per second, CPU.
// Usage: plugin_bench [--rounds N] [--seconds S] [--skip-connecting] [--only-connecting]
//                     [--unpaced]
#include "tests/wine/plugin/PluginLibrary.h"
#include "tests/wine/plugin/RecordingProxy.h"
#include "tests/wine/plugin/TestBrowser.h"
#include "tests/wine/support/FullListener.h"
#include "tests/wine/support/RecorderProcess.h"
#include "platform/Window.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace pluginsupport;
using namespace winetest;

double nowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<Attribute> attributes(int port, int id) {
  return {{"ip", "127.0.0.1"}, {"port", std::to_string(port)}, {"id", std::to_string(id)}};
}

void printSeries(const char* what, std::vector<double> values) {
  if (values.empty()) {
    std::printf("%-44s no samples\n", what);
    return;
  }
  std::sort(values.begin(), values.end());
  std::printf("%-44s min %8.1f  median %8.1f  max %8.1f ms  (%zu rounds)\n", what, values.front(),
              values[values.size() / 2], values.back(), values.size());
  std::fflush(stdout);
}

// CPU time of this process so far (all threads, user and kernel).
double processCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

struct Bench {
  PluginLibrary plugin;
  int rounds = 10;
  int seconds = 10;

  // NPP_New, then the first WM_PAINT after the first decoded frame.
  void firstPicture(int port) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
      TestBrowser browser(plugin);
      HWND site = browser.createSite(0, 0, 720, 576);
      double painted = -1;
      browser.afterDispatch = [&](const MSG& message) {
        if (painted < 0 && message.hwnd == site && message.message == WM_PAINT &&
            browser.taken(site, platform::kMsgFrameDecoded) > 0)
          painted = nowMs();
      };
      const double start = nowMs();
      Element& element = browser.embed(attributes(port, round + 1));
      browser.setWindow(element, site);
      if (browser.pumpUntil([&] { return painted >= 0; })) times.push_back(painted - start);
    }
    printSeries("NPP_New to first painted picture", times);
  }

  // 16 instances receiving: memory and CPU of the process per instance. The recorder sends
  // one still picture, encoded once, 25 times a second: it costs the machine next to nothing,
  // so every instance gets its full rate.
  void sixteenInstances(int port) {
    TestBrowser browser(plugin);
    const auto memory = [] {
      PROCESS_MEMORY_COUNTERS counters = {};
      GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
      return counters;
    };
    const auto cpuMs = processCpuMs;
    const auto before = memory();
    std::vector<HWND> sites;
    for (int i = 0; i < 16; ++i) {
      Element& element = browser.embed(attributes(port, 1));
      sites.push_back(browser.createSite((i % 4) * 245, (i / 4) * 170, 240, 165));
      browser.setWindow(element, sites.back());
    }
    const auto allHave = [&](int frames) {
      for (HWND site : sites)
        if (browser.taken(site, platform::kMsgFrameDecoded) < frames) return false;
      return true;
    };
    if (!browser.pumpUntil([&] { return allHave(5); }, 120000)) std::printf("16 instances: not all receiving\n");
    int framesBefore = 0;
    for (HWND site : sites) framesBefore += browser.taken(site, platform::kMsgFrameDecoded);
    const double cpuBefore = cpuMs();
    const double start = nowMs();
    browser.pumpUntil([] { return false; }, seconds * 1000);
    const double wall = nowMs() - start;
    const double cpu = cpuMs() - cpuBefore;
    int frames = -framesBefore;
    for (HWND site : sites) frames += browser.taken(site, platform::kMsgFrameDecoded);
    const auto after = memory();
    std::printf("16 instances (240 x 165 windows, one camera at up to 25 pictures/s) over %.1f s:\n", wall / 1000);
    std::printf("  frames decoded and shown   %.1f per second in all, %.1f per instance\n", frames * 1000.0 / wall,
                frames * 1000.0 / wall / 16);
    std::printf("  CPU time                   %.1f %% of one core in all, %.2f %% per instance\n", 100 * cpu / wall,
                100 * cpu / wall / 16);
    std::printf("  working set                %+.1f MiB in all, %.2f MiB per instance\n",
                (double(after.WorkingSetSize) - double(before.WorkingSetSize)) / 1048576.0,
                (double(after.WorkingSetSize) - double(before.WorkingSetSize)) / 1048576.0 / 16);
    std::fflush(stdout);
  }

  // One instance watching a recorder that answers at once, in the page's own timer's company.
  void unpaced() {
    RecorderProcess recorder({"simulator", "--fps", "0", "--loop", "8"});
    if (recorder.port() == 0) {
      std::printf("no recorder: %s\n", recorder.failure().c_str());
      return;
    }
    TestBrowser browser(plugin);
    Element& element = browser.embed(attributes(recorder.port(), 1));
    HWND site = browser.createSite(0, 0, 720, 576);
    browser.setWindow(element, site);
    if (!browser.pumpUntil([&] { return browser.taken(site, platform::kMsgFrameDecoded) >= 5; }, 60000)) {
      std::printf("unpaced: no pictures\n");
      return;
    }
    constexpr UINT kTimerMs = 50;
    SetTimer(browser.frame(), 1, kTimerMs, nullptr);
    const int framesBefore = browser.taken(site, platform::kMsgFrameDecoded);
    const int firesBefore = browser.taken(browser.frame(), WM_TIMER);
    const double cpuBefore = processCpuMs();
    const double start = nowMs();
    browser.pumpUntil([] { return false; }, seconds * 1000);
    const double wall = nowMs() - start;
    const double cpu = processCpuMs() - cpuBefore;
    KillTimer(browser.frame(), 1);
    const int frames = browser.taken(site, platform::kMsgFrameDecoded) - framesBefore;
    const int fires = browser.taken(browser.frame(), WM_TIMER) - firesBefore;
    std::printf("1 instance (720 x 576) against an unpaced recorder over %.1f s:\n", wall / 1000);
    std::printf("  frames decoded and shown   %.1f per second\n", frames * 1000.0 / wall);
    std::printf("  page's %u ms timer          %d events, %.0f %% of its rate\n", kTimerMs, fires,
                100.0 * fires * kTimerMs / wall);
    std::printf("  CPU time                   %.1f %% of one core\n", 100 * cpu / wall);
    std::fflush(stdout);
  }

  // An instance brought into a state by `prepare` (which gets its window and returns when
  // the state is reached), then destroyed: the time NPP_Destroy takes.
  void destroyIn(const char* state, int port, int count,
                 const std::function<bool(TestBrowser&, Element&, HWND)>& prepare) {
    std::vector<double> times;
    for (int round = 0; round < count; ++round) {
      TestBrowser browser(plugin);
      HWND site = browser.createSite(0, 0, 640, 480);
      Element& element = browser.embed(port >= 0 ? attributes(port, 1) : std::vector<Attribute>{{"ip", "127.0.0.1"}});
      browser.setWindow(element, site);
      if (!prepare(browser, element, site)) continue;
      const double start = nowMs();
      browser.destroy(element);
      times.push_back(nowMs() - start);
    }
    printSeries((std::string("NPP_Destroy ") + state).c_str(), times);
  }
};

// A loopback port nobody listens on: connects to it are refused.
int closedPort() {
  platform::networkStartup();
  const platform::SocketHandle listener = platform::socketListen("127.0.0.1", 0);
  const int port = platform::socketLocalPort(listener);
  platform::socketClose(listener);
  platform::networkCleanup();
  return port;
}

} // namespace

int main(int argc, char** argv) {
  Bench bench;
  bool connecting = true; // an unanswered connect may hold NPP_Destroy for minutes
  bool others = true;
  bool unpacedOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) bench.rounds = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) bench.seconds = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--skip-connecting")) connecting = false;
    if (!std::strcmp(argv[i], "--only-connecting")) others = false;
    if (!std::strcmp(argv[i], "--unpaced")) unpacedOnly = true;
  }
  const std::string folder = CAMVIEW_PLUGIN_FOLDER;
  const std::wstring path =
      findPluginForMimeType(std::wstring(folder.begin(), folder.end()), "application/x-quellmark-wavelet");
  std::string error;
  if (path.empty() || !bench.plugin.load(path, error)) {
    std::printf("cannot load the plug-in: %s\n", error.c_str());
    return 1;
  }
  if (unpacedOnly) {
    bench.unpaced();
    return 0;
  }
  RecorderProcess recorder;
  RecorderProcess stalling({"simulator", "--fault", "at 2 stall 600000"});
  RecorderProcess still({"still:25"});
  if (recorder.port() == 0 || stalling.port() == 0 || still.port() == 0) {
    std::printf("no recorder: %s%s%s\n", recorder.failure().c_str(), stalling.failure().c_str(),
                still.failure().c_str());
    return 1;
  }

  // The viewer's Receiver thread has had time to get into the state.
  const auto settled = [](TestBrowser& browser, Element&, HWND) {
    browser.pumpUntil([] { return false; }, 300);
    return true;
  };
  if (others) {
    bench.firstPicture(recorder.port());
    bench.sixteenInstances(still.port());
    const auto frames = [](int count) {
      return [count](TestBrowser& browser, Element&, HWND site) {
        return browser.pumpUntil([&] { return browser.taken(site, platform::kMsgFrameDecoded) >= count; });
      };
    };
    bench.destroyIn("while pictures arrive", recorder.port(), bench.rounds, frames(3));
    bench.destroyIn("while decoding", recorder.port(), bench.rounds,
                    [&](TestBrowser& browser, Element& element, HWND site) {
                      if (!frames(2)(browser, element, site)) return false;
                      // Until a picture has just been offered to the Decoder thread.
                      MSG message;
                      while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                        DispatchMessageW(&message);
                        if (message.hwnd == site && message.message == platform::kMsgOfferPicture) return true;
                      }
                      return false;
                    });
    bench.destroyIn("while the recorder stalls", stalling.port(), bench.rounds, frames(2));
    bench.destroyIn("without a port (retrying)", -1, bench.rounds, settled);
    bench.destroyIn("while connects are refused", closedPort(), bench.rounds, settled);
  }
  if (connecting) {
    FullListener unanswered;
    bench.destroyIn("while connecting (unanswered)", unanswered.port(), 1, settled);
  }
  bench.plugin.unload();
  return 0;
}
