#pragma once
// Starts the tests' recorder program (TestRecorder.cpp) in a process of its own, with its
// standard input and output connected to this process.
#include <windows.h>

#include <string>
#include <vector>

namespace activextest {

class RecorderProcess {
public:
  // `servers`: the program's arguments (fixed:S, stream, full).
  explicit RecorderProcess(const std::vector<std::string>& servers);
  ~RecorderProcess(); // closes its input and waits for it to end
  RecorderProcess(const RecorderProcess&) = delete;
  RecorderProcess& operator=(const RecorderProcess&) = delete;

  bool started() const { return ports_.size() == serverCount_; }
  const std::string& failure() const { return failure_; }
  int port(std::size_t server) const { return server < ports_.size() ? ports_[server] : -1; }
  // Connections each server has accepted so far; empty when the program does not answer.
  std::vector<long> connectionCounts();

private:
  bool readLine(std::string& line);

  std::size_t serverCount_;
  std::vector<int> ports_;
  std::string failure_;
  std::string pending_; // bytes read past the last line
  HANDLE process_ = nullptr;
  HANDLE input_ = nullptr;  // the program's standard input (our end)
  HANDLE output_ = nullptr; // its standard output (our end)
};

} // namespace activextest
