// Gateway soak: 64 browsers that come and go for a minute against one gateway in front of a
// simulated recorder whose every byte is known. Each browser (from one of 8 client addresses)
// watches one of 8 cameras for a while (20 to 200 pictures at about 25 a second), leaves and
// comes back; every picture it receives is compared with what the recorder sent for it. The
// gateway runs in a process of its own, whose resident memory is read from /proc after the
// warm-up and at the end.
//   gateway_soak_bench [seconds] [browsers]
// Prints browsers, rejoins, pictures, mismatches, and the gateway's memory; exits with 1 when
// a picture differed or a browser could not watch.
#include "hosts/gateway/Gateway.h"
#include "tests/gateway/GatewayTestSupport.h"
#include "tests/support/ProcessMemory.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace gatewaytest;

constexpr int kCameras = 8;
constexpr int kBodyBytes = 12000;

// The gateway's process: the recorder and the gateway, until SIGTERM. Writes the port to `out`.
[[noreturn]] void serve(int out) {
  sigset_t stopSignal;
  sigemptyset(&stopSignal);
  sigaddset(&stopSignal, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignal, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  FakeRecorder recorder(PictureStream{kBodyBytes});
  gateway::GatewayOptions options;
  options.listenPort = 0;
  options.quiet = true;
  // The default per-client limit (browsers come from 8 addresses), and room for the browsers
  // leaving while their successors arrive.
  options.maxConnections = 256;
  options.recorders = {{"soak", "127.0.0.1", recorder.port()}};
  std::ostringstream log;
  gateway::Gateway gateway(options, log);
  std::string error;
  const int port = gateway.start(error) ? gateway.port() : 0;
  if (write(out, &port, sizeof port) != sizeof port) _exit(1);
  int signal = 0;
  sigwait(&stopSignal, &signal);
  gateway.stop();
  _exit(0);
}

long statusKiB(pid_t pid, const std::string& name) { return testsupport::statusKiB(std::to_string(pid), name); }

struct Totals {
  std::atomic<long> pictures{0}, rejoins{0}, mismatches{0}, refused{0}, lost{0};
};

bool sameAsSent(const Message& picture, std::int32_t id) {
  const Bytes* head = picture.find("HEAD");
  const Bytes* body = picture.find("BODY");
  if (!head || !body) return false;
  const int n = PictureStream::pictureNumber(*head);
  return n >= 0 && *head == PictureStream::header(id, n) && *body == PictureStream::body(n, kBodyBytes);
}

void browse(int port, int index, const std::atomic<bool>& stopping, Totals& totals) {
  std::mt19937 random(unsigned(index) * 7919u + 1u);
  while (!stopping.load()) {
    ViewerClient browser(port, "soak", "", "", "", "127.0.0." + std::to_string(1 + index % 8));
    if (!browser.connected()) {
      ++totals.refused;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      continue;
    }
    const std::int32_t id = std::int32_t(random() % kCameras);
    browser.sendOpen(id);
    const int stay = 20 + int(random() % 181);
    for (int i = 0; i < stay && !stopping.load(); ++i) {
      Message picture;
      if (!browser.readPicture(picture)) {
        ++totals.lost;
        break;
      }
      if (!sameAsSent(picture, id)) ++totals.mismatches;
      ++totals.pictures;
      std::this_thread::sleep_for(std::chrono::milliseconds(40)); // a viewer showing 25 a second
      browser.sendNext();
    }
    ++totals.rejoins;
  }
}

} // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  const int browsers = argc > 2 ? std::atoi(argv[2]) : 64;
  int portPipe[2];
  if (pipe(portPipe) != 0) return 1;
  const pid_t child = fork(); // before any thread is made
  if (child == 0) serve(portPipe[1]);
  int port = 0;
  if (read(portPipe[0], &port, sizeof port) != sizeof port || port == 0) {
    std::fprintf(stderr, "gateway_soak_bench: the gateway did not start\n");
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);

  Totals totals;
  std::atomic<bool> stopping{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < browsers; ++i) threads.emplace_back(browse, port, i, std::cref(stopping), std::ref(totals));
  std::this_thread::sleep_for(std::chrono::seconds(5)); // every browser watching
  const long rssStart = statusKiB(child, "VmRSS");
  long rssPeak = rssStart;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    rssPeak = std::max(rssPeak, statusKiB(child, "VmRSS"));
  }
  const long rssEnd = statusKiB(child, "VmRSS"), hwm = statusKiB(child, "VmHWM");
  stopping.store(true);
  for (std::thread& thread : threads) thread.join();
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);

  std::printf("browsers %d, cameras %d, %.0f s: %ld rejoins, %ld pictures (%ld KB each), %ld differed, "
              "%ld refused, %ld connections lost\n",
              browsers, kCameras, seconds + 5, totals.rejoins.load(), totals.pictures.load(), long(kBodyBytes / 1000),
              totals.mismatches.load(), totals.refused.load(), totals.lost.load());
  std::printf("gateway resident memory: %ld KiB after warm-up, %ld KiB at the end, %ld KiB sampled peak, "
              "VmHWM %ld KiB\n",
              rssStart, rssEnd, rssPeak, hwm);
  return totals.mismatches.load() == 0 && totals.pictures.load() > 0 && totals.lost.load() == 0 ? 0 : 1;
}
