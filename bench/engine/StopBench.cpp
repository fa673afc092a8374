// How long CConnection::stop takes in each state of the Receiver thread. The stop is timed
// by hand (manual time); reaching the state before it is not timed.
//   build/native/bench/engine/bench_engine_stop
#include "engine/Connection.h"
#include "platform/Socket.h"
#include "platform/Time.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/WaitUntil.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

using namespace testsupport;

namespace {

double timeStop(CConnection& connection) {
  const auto begin = std::chrono::steady_clock::now();
  connection.stop();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

int closedPort() {
  const platform::SocketHandle probe = platform::socketListen("127.0.0.1", 0);
  const int port = platform::socketLocalPort(probe);
  platform::socketClose(probe);
  return port;
}

void StopNotRunning(benchmark::State& state) {
  for (auto _ : state) {
    CConnection connection;
    state.SetIterationTime(timeStop(connection));
  }
}

// Connect refused at once; the thread spends nearly all its time in the 500 ms pause, so the
// stop waits for the rest of it.
void StopConnectingRefused(benchmark::State& state) {
  const int port = closedPort();
  int round = 0;
  for (auto _ : state) {
    CConnection connection;
    connection.configure("127.0.0.1", port, 0, nullptr);
    connection.start();
    testsupport::waitUntil([&] { return connection.connectAttempts() >= 1; });
    platform::sleepMs(std::uint32_t(round++ * 53 % 500)); // spread over the pause
    state.SetIterationTime(timeStop(connection));
  }
}

void StopConnectingBadPort(benchmark::State& state) {
  int round = 0;
  for (auto _ : state) {
    CConnection connection;
    connection.configure("127.0.0.1", 70000, 0, nullptr);
    connection.start();
    testsupport::waitUntil([&] { return connection.connectAttempts() >= 1; });
    platform::sleepMs(std::uint32_t(round++ * 53 % 500));
    state.SetIterationTime(timeStop(connection));
  }
}

// A listener whose backlog is full and that never accepts: the connect is neither accepted
// nor refused (the SYN is dropped), so it stays under way for minutes.
class FullBacklog {
public:
  FullBacklog() : listener_(platform::socketListen("127.0.0.1", 0, 0)) {
    port_ = platform::socketLocalPort(listener_);
    // Fill the accept queue: connects complete while there is room, then stay under way.
    for (int i = 0; i < 8; ++i) {
      platform::SocketHandle client = platform::socketCreate();
      platform::Address address = 0;
      platform::parseDottedAddress("127.0.0.1", address);
      platform::socketConnectStart(client, address, port_);
      clients_.push_back(client);
    }
    platform::sleepMs(200);
  }
  ~FullBacklog() {
    for (platform::SocketHandle client : clients_) platform::socketClose(client);
    platform::socketClose(listener_);
  }
  int port() const { return port_; }

private:
  platform::SocketHandle listener_;
  int port_ = -1;
  std::vector<platform::SocketHandle> clients_;
};

void StopConnectingBacklogFull(benchmark::State& state) {
  FullBacklog listener;
  for (auto _ : state) {
    CConnection connection;
    connection.configure("127.0.0.1", listener.port(), 0, nullptr);
    connection.start();
    testsupport::waitUntil([&] { return connection.connectAttempts() >= 1; });
    platform::sleepMs(100); // inside the connect
    state.SetIterationTime(timeStop(connection));
  }
}

// A name, not a dotted address: the lookup runs (here the resolver answers at once).
void StopConnectingByName(benchmark::State& state) {
  int round = 0;
  for (auto _ : state) {
    CConnection connection;
    connection.configure("localhost", closedPort(), 0, nullptr);
    connection.start();
    testsupport::waitUntil([&] { return connection.connectAttempts() >= 1; });
    platform::sleepMs(std::uint32_t(round++ * 53 % 500));
    state.SetIterationTime(timeStop(connection));
  }
}

// Ten start/stop cycles with nothing listening: what closing and reopening a page costs.
void TenStartStopCyclesWithoutRecorder(benchmark::State& state) {
  const int port = closedPort();
  for (auto _ : state) {
    CConnection connection;
    connection.configure("127.0.0.1", port, 0, nullptr);
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
      connection.start();
      testsupport::waitUntil([&] { return connection.connectAttempts() >= std::uint32_t(i + 1); });
      connection.stop();
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
  }
}

// Connected to an idle recorder: the thread sleeps in its 20 ms pass pause.
void StopConnectedIdle(benchmark::State& state) {
  FakeRecorder recorder([](const RecordedRequest&) { return established(); });
  int round = 0;
  for (auto _ : state) {
    CConnection connection;
    connection.configure("127.0.0.1", recorder.port(), 0, nullptr);
    connection.start();
    testsupport::waitUntil([&] { return connection.state() == CConnection::ReceiverState::Connected; });
    platform::sleepMs(std::uint32_t(round++ * 7 % 20));
    state.SetIterationTime(timeStop(connection));
  }
}

// Connected while pictures stream (the window slot is emptied by this thread).
void StopConnectedStreaming(benchmark::State& state) {
  FakeRecorder recorder([](const RecordedRequest& request) {
    const Bytes one = picture({}, body(100000, 1));
    if (request.words.words[0] != 2) return one;
    Bytes both = established();
    both.insert(both.end(), one.begin(), one.end());
    return both;
  });
  for (auto _ : state) {
    CConnection connection;
    connection.configure("127.0.0.1", recorder.port(), 0, nullptr);
    connection.start();
    int taken = 0;
    testsupport::waitUntil([&] {
      if (connection.windowSlot[0].valid.load(std::memory_order_acquire)) {
        connection.windowSlot[0].valid.store(false, std::memory_order_release);
        ++taken;
      }
      return taken >= 3;
    });
    state.SetIterationTime(timeStop(connection));
  }
}

} // namespace

BENCHMARK(StopNotRunning)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(StopConnectingRefused)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(StopConnectingBadPort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(StopConnectingBacklogFull)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(StopConnectingByName)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(TenStartStopCyclesWithoutRecorder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(StopConnectedIdle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(StopConnectedStreaming)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
int main(int argc, char** argv) {
  NetworkSession network;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
