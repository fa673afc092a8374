#pragma once
// Starts the tests' recorder program (TestRecorderMain.cpp) in a process of its own, with
// its standard input and output connected to this process: the test's process then holds no
// sockets of the recorder's, as a browser's or container's would not. Closing its input ends
// it; a recorder that crashed or hung on the way is a test failure.
#include <windows.h>

#include <string>
#include <vector>

namespace winetest {

class RecorderProcess {
public:
  // The servers to start, as the program's arguments, e.g. {"simulator", "--fps", "5"} or
  // {"fixed:1", "full"} (TestRecorderMain.cpp lists them).
  explicit RecorderProcess(const std::vector<std::string>& servers = {"simulator"});
  ~RecorderProcess();
  RecorderProcess(const RecorderProcess&) = delete;
  RecorderProcess& operator=(const RecorderProcess&) = delete;

  bool started() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }
  // The listening port of the servers in the order they were named; 0 when not started.
  int port(std::size_t server = 0) const { return server < ports_.size() ? ports_[server] : 0; }
  // Connections each server has accepted so far; empty when the program does not answer.
  std::vector<long> connectionCounts();

private:
  bool readLine(std::string& line);

  std::vector<int> ports_;
  std::string failure_;
  std::string pending_; // bytes read past the last line
  PROCESS_INFORMATION process_ = {};
  HANDLE input_ = nullptr;  // the program's standard input (our end)
  HANDLE output_ = nullptr; // its standard output (our end)
};

} // namespace winetest
