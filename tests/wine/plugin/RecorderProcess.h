#pragma once
// Starts the test recorder program (TestRecorderMain.cpp) on a free loopback port and stops
// it again: closing its standard input ends it. A recorder that does not end cleanly is a
// test failure.
#include <windows.h>

#include <string>
#include <vector>

namespace pluginsupport {

class RecorderProcess {
public:
  // Extra options of the recorder's command line, e.g. {"--fault", "at 1 stall 60000"}.
  explicit RecorderProcess(const std::vector<std::string>& options = {});
  ~RecorderProcess();
  RecorderProcess(const RecorderProcess&) = delete;
  RecorderProcess& operator=(const RecorderProcess&) = delete;

  // The listening port, or 0 when the program did not start (see error()).
  int port() const { return port_; }
  const std::string& error() const { return error_; }

private:
  PROCESS_INFORMATION process_ = {};
  HANDLE input_ = nullptr;  // our end of its standard input
  HANDLE output_ = nullptr; // our end of its standard output
  int port_ = 0;
  std::string error_;
};

} // namespace pluginsupport
