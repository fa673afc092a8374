#pragma once
// Status lines on stderr (or any stream): whole lines, never interleaved between threads.
#include <mutex>
#include <ostream>
#include <string>

namespace recorder {

class StatusLog {
public:
  StatusLog(std::ostream& out, bool quiet) : out_(out), quiet_(quiet) {}
  void line(const std::string& text);

private:
  std::mutex mutex_;
  std::ostream& out_;
  bool quiet_;
};

} // namespace recorder
