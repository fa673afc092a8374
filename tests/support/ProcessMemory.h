#pragma once
// A Linux process's memory as the kernel counts it, for tests and benchmarks that bound or
// report it: the lines of /proc/PID/status, and the reset of the peak resident set.
#include <cstdlib>
#include <fstream>
#include <string>

namespace testsupport {

// Kilobytes of a /proc/PID/status line ("VmRSS", "VmHWM"), -1 when it cannot be read.
// `process`: a process id, or "self".
inline long statusKiB(const std::string& process, const std::string& name) {
  std::ifstream status("/proc/" + process + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
  return -1;
}

// Sets this process's peak resident set (VmHWM) back to what it holds now; false when the
// kernel does not allow it.
inline bool resetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5" << std::flush;
  return bool(clear);
}

} // namespace testsupport
