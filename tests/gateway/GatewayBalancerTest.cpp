// Two gateways behind Debian's HAProxy with the shipped deploy/haproxy.cfg (its addresses
// replaced by loopback ports): however many browsers watch a camera through the balancer, the
// recorder serves it one connection, while the recorder's cameras spread over both gateways;
// when a camera's gateway stops, its browsers come back through the other one.
#include "hosts/gateway/Gateway.h"
#include "tests/gateway/GatewayTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace gatewaytest;
namespace fs = std::filesystem;

// The program's path in PATH or the system folders, or empty.
std::string findProgram(const std::string& name) {
  std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
  dirs += ":/usr/sbin:/sbin:/usr/bin";
  std::istringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ':');)
    if (!dir.empty() && fs::exists(fs::path(dir) / name)) return (fs::path(dir) / name).string();
  return {};
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from << " is not in the shipped configuration";
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A port no one listens on now, for a program that cannot be told to pick one.
int freePort() {
  boost::asio::io_context io;
  boost::asio::ip::tcp::acceptor acceptor(io, {boost::asio::ip::make_address("127.0.0.1"), 0});
  return acceptor.local_endpoint().port();
}

bool accepts(int port) {
  boost::asio::io_context io;
  boost::asio::ip::tcp::socket socket(io);
  boost::system::error_code error;
  socket.connect({boost::asio::ip::make_address("127.0.0.1"), std::uint16_t(port)}, error);
  return !error;
}

// HAProxy in the foreground, ended (and waited for) however the test ends: by the destructor,
// or by the kernel when the test process dies first (a crash, a time-out's kill).
class Balancer {
public:
  Balancer(const std::string& program, const std::string& config, const std::string& logFile) {
    const std::string args[] = {program, "-db", "-f", config};
    char* argv[] = {const_cast<char*>(args[0].c_str()), const_cast<char*>(args[1].c_str()),
                    const_cast<char*>(args[2].c_str()), const_cast<char*>(args[3].c_str()), nullptr};
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ != 0) return;
    // Only async-signal-safe calls from here on: the test is multi-threaded.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    execv(argv[0], argv);
    _exit(127);
  }
  ~Balancer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  bool running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
  pid_t pid_ = -1;
};

TEST(GatewayBalancer, OneRecorderConnectionPerCameraAndFailover) {
  const std::string haproxy = findProgram("haproxy");
  if (haproxy.empty()) GTEST_SKIP() << "haproxy is not installed (scripts/bootstrap installs it): balancer not tested";

  FakeRecorder recorder(PictureStream{});
  std::ostringstream log;
  std::unique_ptr<gateway::Gateway> gateways[2];
  for (auto& gateway : gateways) {
    gateway::GatewayOptions options;
    options.listenPort = 0;
    options.quiet = true;
    options.recorders = {{"gate", "127.0.0.1", recorder.port()}};
    options.publicNames = {"cameras.example.com"}; // the name the shipped health check sends
    options.trustedProxies = {"127.0.0.1"};
    gateway = std::make_unique<gateway::Gateway>(options, log);
    std::string error;
    ASSERT_TRUE(gateway->start(error)) << error;
  }

  std::ifstream shipped(CAMVIEW_DEPLOY_DIR "/haproxy.cfg");
  ASSERT_TRUE(shipped) << "deploy/haproxy.cfg";
  std::string config((std::istreambuf_iterator<char>(shipped)), {});
  config = replaced(config, "10.0.0.11:8080", "127.0.0.1:" + std::to_string(gateways[0]->port()));
  config = replaced(config, "10.0.0.12:8080", "127.0.0.1:" + std::to_string(gateways[1]->port()));
  const fs::path dir = fs::path(::testing::TempDir()) / ("camview-haproxy-" + std::to_string(gateways[0]->port()));
  fs::create_directories(dir);
  const int port = freePort();
  std::ofstream(dir / "haproxy.cfg") << replaced(config, "    bind :80\n",
                                                 "    bind 127.0.0.1:" + std::to_string(port) + "\n");
  Balancer balancer(haproxy, (dir / "haproxy.cfg").string(), (dir / "haproxy.log").string());
  ASSERT_TRUE(waitUntil([&] { return accepts(port) || !balancer.running(); }));
  ASSERT_TRUE(balancer.running()) << std::ifstream(dir / "haproxy.log").rdbuf();

  // Browsers open the camera's URL, /camera/gate/ID, which the balancer routes by.
  const auto watch = [&](std::unique_ptr<ViewerClient>& viewer, std::int32_t id) {
    viewer = std::make_unique<ViewerClient>(port, "gate/" + std::to_string(id), "", "", "cameras.example.com");
    if (!viewer->connected()) return false;
    viewer->sendOpen(id);
    Message picture;
    return viewer->readPicture(picture);
  };
  // Eight browsers watch camera 1.
  std::unique_ptr<ViewerClient> viewers[8];
  for (auto& viewer : viewers) ASSERT_TRUE(watch(viewer, 1));
  EXPECT_EQ(recorder.connectionCount(), 1);
  const int serving = gateways[0]->counters().viewers.load() == 8 ? 0 : 1;
  EXPECT_EQ(gateways[serving]->counters().viewers.load(), 8);
  EXPECT_EQ(gateways[1 - serving]->counters().viewers.load(), 0);
  EXPECT_EQ(gateways[0]->cameraCount() + gateways[1]->cameraCount(), 1);

  // Cameras 2 to 8, two browsers each: one recorder connection per camera in all, and the
  // cameras on both gateways.
  std::unique_ptr<ViewerClient> others[14];
  for (int i = 0; i < 14; ++i) ASSERT_TRUE(watch(others[i], 2 + i / 2));
  EXPECT_EQ(recorder.connectionCount(), 8);
  EXPECT_EQ(gateways[0]->cameraCount() + gateways[1]->cameraCount(), 8);
  EXPECT_GT(gateways[0]->cameraCount(), 0);
  EXPECT_GT(gateways[1]->cameraCount(), 0);
  const int camerasLeft = gateways[1 - serving]->cameraCount();

  // Camera 1's gateway stops: each of its browsers sees its WebSocket close and comes back
  // through the other.
  gateways[serving]->stop();
  for (auto& viewer : viewers) {
    Message message;
    while (viewer->read(message)) {}
    ASSERT_TRUE(waitUntil([&] { return watch(viewer, 1); }));
  }
  EXPECT_EQ(gateways[1 - serving]->counters().viewers.load(), 8 + 2 * camerasLeft);
  EXPECT_EQ(gateways[1 - serving]->cameraCount(), 1 + camerasLeft);
  EXPECT_EQ(recorder.connectionCount(), 9); // the first gateway's connections ended with it
  // The health checks find the stopped gateway down, and only that one.
  const auto balancerLog = [&] {
    std::ostringstream text;
    text << std::ifstream(dir / "haproxy.log").rdbuf();
    return text.str();
  };
  const std::string down = "gateway" + std::to_string(serving + 1) + " is DOWN";
  EXPECT_TRUE(waitUntil([&] { return balancerLog().find(down) != std::string::npos; })) << balancerLog();
  EXPECT_EQ(balancerLog().find("gateway" + std::to_string(2 - serving) + " is DOWN"), std::string::npos);
  fs::remove_all(dir);
}

} // namespace
