// What the viewers cost the process that shows them: many viewers in this process, driven as
// the desktop host drives them (one window thread for all, each viewer with its own queue
// and canvas it paints into, as it paints into a window with StretchDIBits), against
// camview-recorder in ANOTHER process that serves a loop of pre-encoded pictures, so that no
// encoding is counted. What the desktop host adds to show the canvases (X11) is not here.
//
//   build/native/bench/presentation/viewer_cpu_bench [--cameras N] [--size WxH[:fit|:full] ...]
//       [--seconds S] [--level L] [--quality Q] [--host-wait MS] [--compose 0|1]
//       [--recorder PATH]
// Each size is measured with the viewers decoding at the window's size (fit, the desktop
// host's default) or every picture in full (full, what the plug-in and the control do); a
// size without a mode is measured as full. The default sizes: the picture's own and 720 x 576
// in full, and grid tiles of 180 x 144 in fit and in full.
// --compose 1 also copies every painted cell into one window picture (as the desktop host did
// before it showed the cells straight from their canvases).
//
// For each window size: this process's CPU time per camera (as a share of one core, and
// scaled to 25 pictures per second; and how much of it the window thread took), its
// threads' context switches per picture (the hand-overs' wake-ups), heap allocations per
// picture (every operator new of the process while it runs), pictures the viewers threw
// away, how many pictures each viewer showed per second against the recorder's 25, and the
// resident memory each streaming viewer adds (with its cell's canvas).
#include "tests/support/CountedAllocation.h"
#include "engine/LanguageTable.h"
#include "hosts/desktop/ViewerGrid.h"
#include "platform/Time.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#ifndef CAMVIEW_RECORDER_PATH
#define CAMVIEW_RECORDER_PATH "camview-recorder"
#endif

extern char** environ;

namespace {

struct Case {
  int width = 0; // a cell's size
  int height = 0;
  presentation::DecodeMode decode = presentation::DecodeMode::Full;
};

struct Settings {
  int cameras = 16;
  std::vector<Case> cases;
  double seconds = 10;
  int level = 0;
  int quality = 75;
  int loop = 25;
  int hostWaitMs = 1000; // the longest the window thread waits for a message
  bool compose = false;
  std::string recorder = CAMVIEW_RECORDER_PATH;
};

// Resident set of this process in KiB (VmRSS of /proc/self/status).
long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// Context switches of every thread of this process so far (voluntary: a thread waited for
// something; involuntary: it was preempted).
long long contextSwitches() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<long long>(usage.ru_nvcsw) + static_cast<long long>(usage.ru_nivcsw);
}

double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU seconds another process has used (utime + stime of /proc/PID/stat).
double childCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::size_t at = close + 2;
  while (at < text.size()) {
    const std::size_t space = text.find(' ', at);
    fields.push_back(text.substr(at, space - at));
    if (space == std::string::npos) break;
    at = space + 1;
  }
  // After the name: state is field 3 of the file, utime 14 and stime 15.
  if (fields.size() < 13) return 0;
  return double(std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str())) / double(sysconf(_SC_CLK_TCK));
}

// camview-recorder in a process of its own, on a free port.
class RecorderProcess {
public:
  bool start(const Settings& settings, std::string& error) {
    int out[2];
    if (pipe(out) != 0) return fail("pipe", error);
    const std::vector<std::string> arguments = {settings.recorder,
                                                "--port",
                                                "0",
                                                "--quiet",
                                                "--fps",
                                                "25",
                                                "--loop",
                                                std::to_string(settings.loop),
                                                "--level",
                                                std::to_string(settings.level),
                                                "--quality",
                                                std::to_string(settings.quality),
                                                "--max-viewers",
                                                std::to_string(settings.cameras + 4)};
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
      close(out[0]);
      pid_ = -1;
      error = "cannot start " + settings.recorder + ": " + std::strerror(spawned);
      return false;
    }
    // "listening on HOST:PORT"
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    const std::size_t colon = line.rfind(':');
    if (line.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
      error = "the recorder did not start (it said '" + line + "')";
      return false;
    }
    port_ = std::atoi(line.c_str() + colon + 1);
    return port_ > 0;
  }

  ~RecorderProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }

  int port() const { return port_; }
  pid_t pid() const { return pid_; }

private:
  static bool fail(const char* what, std::string& error) {
    error = std::string(what) + ": " + std::strerror(errno);
    return false;
  }
  pid_t pid_ = -1;
  int port_ = 0;
};

struct Counts {
  long long shown = 0;
  long long dropped = 0; // thrown away by the window side or the Receiver thread, or not decodable
  std::vector<int> shownPerViewer;
};

Counts count(desktop::ViewerGrid& grid) {
  Counts counts;
  for (auto& cell : grid.cells()) {
    const embed::ViewerState state = cell->state();
    counts.shown += state.picturesShown;
    counts.dropped += state.picturesLost;
    counts.shownPerViewer.push_back(state.picturesShown);
  }
  return counts;
}

// Runs the window thread's loop, as the desktop host does without its X window, until `done`
// or `limitMs`. False when the time ran out.
template <typename Done>
bool runHost(desktop::ViewerGrid& grid, const Settings& settings, std::uint32_t limitMs, Done done) {
  const std::uint32_t begin = platform::tickCount();
  while (!done()) {
    if (platform::tickCount() - begin >= limitMs) return false;
    grid.pump(settings.hostWaitMs);
    if (settings.compose)
      grid.paint(false);
    else
      grid.paintCells(false);
  }
  return true;
}

bool measure(const Settings& settings, const RecorderProcess& recorder, const Case& which) {
  const int width = which.width, height = which.height;
  desktop::Options options;
  for (int id = 0; id < settings.cameras; ++id) options.cameras.push_back({"127.0.0.1", recorder.port(), id});
  options.language = CLanguageTable::kEnglish;
  options.decode = which.decode;
  const int columns = 4;
  options.width = width * columns;
  options.height = height * ((settings.cameras + columns - 1) / columns);
  const long residentBefore = residentKiB();
  desktop::ViewerGrid grid(options);
  grid.start();

  // Warm-up: every viewer connected and through the recorder's loop twice, so every buffer
  // has met the largest picture.
  const int warmPictures = 2 * settings.loop + 5;
  const bool warm = runHost(grid, settings, 120000, [&] { return grid.fewestPicturesShown() >= warmPictures; });
  if (!warm) {
    std::printf("  the viewers did not get going within 120 s (slowest: %d pictures)\n", grid.fewestPicturesShown());
    return false;
  }

  const long residentStreaming = residentKiB();

  // The measurement's own allocations (these counters) fall outside the counted span.
  const Counts before = count(grid);
  const double recorderBefore = childCpuSeconds(recorder.pid());
  const auto limit = static_cast<std::uint32_t>(settings.seconds * 1000);
  const long long allocationsBefore = testsupport::allocationCount();
  const long long switchesBefore = contextSwitches();
  const double cpuBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const double windowThreadBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const std::uint32_t begin = platform::tickCount();
  runHost(grid, settings, limit, [] { return false; });
  const double seconds = (platform::tickCount() - begin) / 1000.0;
  const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
  const double windowThread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - windowThreadBefore;
  const long long allocated = testsupport::allocationCount() - allocationsBefore;
  const long long switches = contextSwitches() - switchesBefore;
  const double recorderCpu = childCpuSeconds(recorder.pid()) - recorderBefore;
  const Counts after = count(grid);

  const long long shown = after.shown - before.shown;
  double slowest = 1e9;
  for (std::size_t i = 0; i < after.shownPerViewer.size(); ++i)
    slowest = std::min(slowest, (after.shownPerViewer[i] - before.shownPerViewer[i]) / seconds);
  const double perCamera = cpu / seconds / settings.cameras * 100.0;
  const double perPicture = shown > 0 ? cpu / double(shown) : 0;
  const long long missing = std::max(0LL, static_cast<long long>(25.0 * seconds * settings.cameras + 0.5) - shown);
  PictureRecord lastPicture;
  const int bodyBytes = grid.cells().front()->copyPicture(lastPicture) ? lastPicture.length : 0;

  std::printf("  %d viewers of %d x %d decoding %s, level %d pictures of about %d bytes, %.1f s\n", settings.cameras,
              width, height, which.decode == presentation::DecodeMode::Fit ? "fit" : "full", settings.level, bodyBytes,
              seconds);
  std::printf("  pictures shown per second and viewer: mean %.2f, slowest %.2f (the recorder serves 25)\n",
              double(shown) / seconds / settings.cameras, slowest);
  std::printf("  pictures thrown away: %lld; short of 25 per second: %lld of %lld\n", after.dropped - before.dropped,
              missing, static_cast<long long>(25.0 * seconds * settings.cameras + 0.5));
  std::printf("  CPU of this process: %.1f%% of one core, %.2f%% per camera; %.3f ms per picture = %.2f%% of a core "
              "per camera at 25 pictures/s\n",
              cpu / seconds * 100.0, perCamera, perPicture * 1000.0, perPicture * 25.0 * 100.0);
  std::printf("  of that the window thread (messages, painting): %.1f%%; the Receiver and Decoder threads: %.1f%%\n",
              windowThread / cpu * 100.0, (cpu - windowThread) / cpu * 100.0);
  std::printf("  heap allocations: %lld for %lld pictures = %.3f per picture\n", allocated, shown,
              shown > 0 ? double(allocated) / double(shown) : 0.0);
  std::printf("  context switches of this process's threads: %.2f per picture\n",
              shown > 0 ? double(switches) / double(shown) : 0.0);
  std::printf("  recorder process (pre-encoded loop): %.1f%% of one core\n", recorderCpu / seconds * 100.0);
  std::printf("  resident memory per streaming viewer (with its canvas): %.2f MiB\n",
              double(residentStreaming - residentBefore) / 1024.0 / settings.cameras);
  std::fflush(stdout);
  return true;
}

bool parse(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return false;
    ++i;
    if (option == "--cameras") {
      settings.cameras = std::max(1, std::atoi(value));
    } else if (option == "--size") {
      Case size;
      char mode[8] = "full";
      const int fields = std::sscanf(value, "%dx%d:%7s", &size.width, &size.height, mode);
      if (fields < 2 || size.width <= 0 || size.height <= 0) return false;
      if (std::strcmp(mode, "fit") != 0 && std::strcmp(mode, "full") != 0) return false;
      size.decode = std::strcmp(mode, "fit") == 0 ? presentation::DecodeMode::Fit : presentation::DecodeMode::Full;
      settings.cases.push_back(size);
    } else if (option == "--seconds") {
      settings.seconds = std::max(1.0, std::atof(value));
    } else if (option == "--level") {
      settings.level = std::clamp(std::atoi(value), 0, 4);
    } else if (option == "--quality") {
      settings.quality = std::clamp(std::atoi(value), 1, 100);
    } else if (option == "--loop") {
      settings.loop = std::clamp(std::atoi(value), 1, 1000);
    } else if (option == "--host-wait") {
      settings.hostWaitMs = std::max(0, std::atoi(value));
    } else if (option == "--compose") {
      settings.compose = std::atoi(value) != 0;
    } else if (option == "--recorder") {
      settings.recorder = value;
    } else {
      return false;
    }
  }
  return true;
}

} // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!parse(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: %s [--cameras N] [--size WxH[:fit|:full] ...] [--seconds S] [--level L] [--quality Q] "
                 "[--loop N] [--host-wait MS] [--compose 0|1] [--recorder PATH]\n",
                 argv[0]);
    return 2;
  }
  if (settings.cases.empty()) {
    // The picture's own size (decoded at level 0: 696 x 576), a window it is stretched to, and
    // the tiles of a 4 x 4 grid in a 720 x 576 window.
    using presentation::DecodeMode;
    settings.cases = {{696 >> settings.level, 576 >> settings.level, DecodeMode::Full},
                      {720, 576, DecodeMode::Full},
                      {180, 144, DecodeMode::Fit},
                      {180, 144, DecodeMode::Full}};
  }
  RecorderProcess recorder;
  std::string error;
  if (!recorder.start(settings, error)) {
    std::fprintf(stderr, "viewer_cpu_bench: %s\n", error.c_str());
    return 1;
  }
  std::printf("viewer_cpu_bench: %d viewers in this process, camview-recorder (pid %d) on port %d serving a loop of "
              "%d pre-encoded pictures per camera at 25 pictures/s, quality %d\n",
              settings.cameras, int(recorder.pid()), recorder.port(), settings.loop, settings.quality);
  bool ok = true;
  for (const Case& which : settings.cases) ok = measure(settings, recorder, which) && ok;
  return ok ? 0 : 1;
}
