// Gateway CPU per watching browser: the recorder simulator (25 pictures per second per
// camera, each camera's 25 pictures encoded once and served in a loop, so that the recorder's
// encoding does not limit the rate on a busy machine) and camview-gateway run as processes
// of their own; this program plays N browsers (WebSocket clients that take every picture and
// ask for the next, as the page's viewer does) and reads the gateway's CPU time from /proc
// before and after a measured interval, and the machine's load average after it.
//   gateway_cpu_bench [seconds] [browsers ...]
// With GATEWAY_CPU_BENCH_BASELINE=PATH the WebSocket table is measured for that gateway program
// too (an earlier build, started with only the options every build knows), each count right
// after the same count on this one, so that the two are compared under the same load.
// With GATEWAY_CPU_BENCH_STRACE=PREFIX each gateway runs under `strace -f -c -o PREFIX.new`
// (PREFIX.baseline): the MJPEG table is left out, and each gateway's pictures relayed are
// printed before it stops, so that system calls per relayed picture can be worked out.
// Each line: browsers, cameras, pictures received per second, the gateway's CPU in percent
// of one core, that per browser, and the 1-minute load average. A second table does the same
// for MJPEG clients of one camera (/camera/NAME/ID.mjpg): the JPEG work is the camera's,
// whatever the number of clients.
#include "hosts/gateway/ViewerRequests.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <signal.h>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

struct Child {
  pid_t pid = -1;
  int port = 0;
};

// Starts a program that prints "listening on HOST:PORT" on its standard output.
Child startListening(const std::vector<std::string>& argv) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) std::exit(1);
  Child child;
  child.pid = fork();
  if (child.pid == 0) {
    dup2(pipeFds[1], 1);
    close(pipeFds[0]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  std::string line;
  char c;
  while (read(pipeFds[0], &c, 1) == 1 && c != '\n') line += c;
  close(pipeFds[0]);
  const std::size_t colon = line.rfind(':');
  if (line.rfind("listening on", 0) != 0 || colon == std::string::npos) {
    std::fprintf(stderr, "gateway_cpu_bench: %s did not start\n", argv[0].c_str());
    std::exit(1);
  }
  child.port = std::atoi(line.c_str() + colon + 1);
  return child;
}

void stop(Child& child) {
  if (child.pid <= 0) return;
  // A gateway under strace: the gateway is stopped, and strace ends with it, writing its
  // figures (strace itself would not end on the signal while it traces).
  std::ifstream children("/proc/" + std::to_string(child.pid) + "/task/" + std::to_string(child.pid) + "/children");
  bool traced = false;
  for (pid_t traceePid; children >> traceePid; traced = true) kill(traceePid, SIGTERM);
  if (!traced) kill(child.pid, SIGTERM);
  waitpid(child.pid, nullptr, 0);
  child.pid = -1;
}

// User plus system CPU time of a process, in seconds: the sum of its threads' run time
// (nanoseconds, from /proc/PID/task/TID/schedstat), or else its clock ticks from
// /proc/PID/stat (10 ms each: a browser's share of a core over seconds is a few ticks).
double cpuSeconds(pid_t pid) {
  const std::string process = "/proc/" + std::to_string(pid);
  std::error_code error;
  double nanoseconds = 0;
  bool any = false;
  for (const auto& task : std::filesystem::directory_iterator(process + "/task", error)) {
    std::ifstream schedstat(task.path() / "schedstat");
    unsigned long long onCpu = 0;
    if (schedstat >> onCpu) {
      nanoseconds += double(onCpu);
      any = true;
    }
  }
  if (any) return nanoseconds / 1e9;
  std::ifstream stat(process + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// One browser: reads every message, asks for the next picture after each picture.
class Browser : public std::enable_shared_from_this<Browser> {
public:
  Browser(boost::asio::io_context& io, int port, int id) : ws_(io), port_(port), id_(id) {}
  void start() {
    ws_.next_layer().connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(port_)));
    ws_.handshake("127.0.0.1:" + std::to_string(port_), "/camera/bench"); // the gateway answers its own name only
    ws_.binary(true);
    send(gateway::encodeViewerRequest({gateway::ViewerRequest::Open, id_}));
    read();
  }
  long pictures = 0;

private:
  void send(std::vector<std::uint8_t> bytes) {
    beast::error_code ignored;
    ws_.write(boost::asio::buffer(bytes), ignored);
  }
  void read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (error) return;
      const auto data = self->buffer_.cdata();
      // A picture message carries a "HEAD" item first.
      if (data.size() > 12 && std::string(static_cast<const char*>(data.data()) + 8, 4) == "HEAD") {
        ++self->pictures;
        self->send(gateway::encodeViewerRequest({gateway::ViewerRequest::Next, 0}));
      }
      self->buffer_.consume(self->buffer_.size());
      self->read();
    });
  }
  websocket::stream<tcp::socket> ws_;
  beast::flat_buffer buffer_;
  int port_, id_;
};

// One MJPEG client: reads the stream and counts its parts.
class MjpegClient : public std::enable_shared_from_this<MjpegClient> {
public:
  MjpegClient(boost::asio::io_context& io, int port, int id) : socket_(io), port_(port), id_(id) {}
  void start() {
    socket_.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(port_)));
    const std::string request = "GET /camera/bench/" + std::to_string(id_) +
                                ".mjpg HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                                "\r\n\r\n"; // the gateway answers its own name only
    boost::asio::write(socket_, boost::asio::buffer(request));
    read();
  }
  long pictures = 0;

private:
  void read() {
    socket_.async_read_some(
        boost::asio::buffer(chunk_), [self = shared_from_this()](beast::error_code error, std::size_t bytes) {
          if (error) return;
          // Part boundaries, also one cut across two reads.
          self->tail_.append(self->chunk_.data(), bytes);
          for (std::size_t at = self->tail_.find(kPart); at != std::string::npos; at = self->tail_.find(kPart, at + 1))
            ++self->pictures;
          self->tail_.erase(0, self->tail_.size() > kPart.size() ? self->tail_.size() - kPart.size() + 1 : 0);
          self->read();
        });
  }
  static constexpr std::string_view kPart = "Content-Type: image/jpeg\r\nContent-Length";
  tcp::socket socket_;
  std::array<char, 65536> chunk_{};
  std::string tail_;
  int port_, id_;
};

template <typename Client>
void measure(int port, pid_t gateway, int count, bool oneCamera, double seconds, int firstId) {
  boost::asio::io_context io;
  std::vector<std::shared_ptr<Client>> clients;
  for (int i = 0; i < count; ++i) {
    clients.push_back(std::make_shared<Client>(io, port, oneCamera ? firstId : firstId + i));
    clients.back()->start();
  }
  std::thread runner([&] { io.run(); });
  std::this_thread::sleep_for(std::chrono::seconds(2)); // connections made, pictures flowing
  const double cpuBefore = cpuSeconds(gateway);
  long picturesBefore = 0;
  for (auto& client : clients) picturesBefore += client->pictures;
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = cpuSeconds(gateway) - cpuBefore;
  long pictures = -picturesBefore;
  for (auto& client : clients) pictures += client->pictures;
  io.stop();
  runner.join();
  double load = 0;
  std::ifstream("/proc/loadavg") >> load;
  std::printf("%8d %7d %11.1f %14.3f %14.3f %9.2f\n", count, oneCamera ? 1 : count, pictures / elapsed,
              100.0 * cpu / elapsed, 100.0 * cpu / elapsed / count, load);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(6)); // the gateway's cameras linger, then close
}

// The gateway's count of pictures written to browsers, from its /metrics page.
long picturesRelayed(int port) {
  boost::asio::io_context io;
  tcp::socket socket(io);
  beast::error_code error;
  socket.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(port)), error);
  if (error) return -1;
  const std::string request =
      "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nConnection: close\r\n\r\n";
  boost::asio::write(socket, boost::asio::buffer(request), error);
  std::string answer;
  std::array<char, 4096> chunk{};
  for (std::size_t n; (n = socket.read_some(boost::asio::buffer(chunk), error)) > 0 || !error;)
    answer.append(chunk.data(), n);
  const std::string name = "\ncamview_gateway_pictures_relayed_total ";
  const std::size_t at = answer.find(name);
  return at == std::string::npos ? -1 : std::atol(answer.c_str() + at + name.size());
}

} // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  std::vector<int> counts;
  for (int i = 2; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {1, 4, 16};
  std::signal(SIGPIPE, SIG_IGN);

  Child recorder = startListening({CAMVIEW_RECORDER_PROGRAM, "--port", "0", "--quiet", "--fps", "25", "--loop", "25"});
  const char* tracePrefix = std::getenv("GATEWAY_CPU_BENCH_STRACE");
  const auto startGateway = [&](const std::string& program, bool perClientLimit) {
    std::vector<std::string> argv = {
        program,   "--listen",          "127.0.0.1:0", "--recorder", "bench=127.0.0.1:" + std::to_string(recorder.port),
        "--quiet", "--max-connections", "1000"};
    if (tracePrefix != nullptr)
      argv.insert(argv.begin(), {"/usr/bin/strace", "-f", "-c", "-o",
                                 std::string(tracePrefix) + (perClientLimit ? ".new" : ".baseline")});
    if (perClientLimit) argv.insert(argv.end(), {"--max-per-client", "1000"}); // all browsers share one address
    return startListening(argv);
  };
  Child gatewayProcess = startGateway(CAMVIEW_GATEWAY_PROGRAM, true);
  const char* baselineProgram = std::getenv("GATEWAY_CPU_BENCH_BASELINE");
  Child baseline;
  if (baselineProgram != nullptr) baseline = startGateway(baselineProgram, false);
  std::printf("browsers cameras  pictures/s  gateway CPU %%  per browser %%  load avg\n");
  for (int count : counts)
    for (bool oneCamera : {false, true}) {
      if (oneCamera && count == 1) continue;
      measure<Browser>(gatewayProcess.port, gatewayProcess.pid, count, oneCamera, seconds, 100);
      if (baselineProgram == nullptr) continue;
      std::printf("  (baseline) ");
      measure<Browser>(baseline.port, baseline.pid, count, oneCamera, seconds, 100);
    }
  if (tracePrefix != nullptr) {
    std::printf("pictures relayed: this gateway %ld", picturesRelayed(gatewayProcess.port));
    if (baselineProgram != nullptr) std::printf(", baseline %ld", picturesRelayed(baseline.port));
    std::printf("\n");
    std::fflush(stdout);
  }
  if (baselineProgram != nullptr) stop(baseline);
  if (tracePrefix != nullptr) {
    stop(gatewayProcess);
    stop(recorder);
    return 0;
  }
  std::printf("\n  mjpeg cameras  pictures/s  gateway CPU %%   per client %%  load avg  (full size, quality 80)\n");
  for (int count : counts) measure<MjpegClient>(gatewayProcess.port, gatewayProcess.pid, count, true, seconds, 200);
  stop(gatewayProcess);
  stop(recorder);
  return 0;
}
