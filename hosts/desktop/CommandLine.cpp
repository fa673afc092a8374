#include "hosts/desktop/CommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace desktop {
namespace {

bool parseInt(const char* text, long low, long high, int& out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

bool parseSize(const char* text, int& width, int& height) {
  const char* x = std::strchr(text, 'x');
  if (!x) return false;
  std::string w(text, x - text);
  return parseInt(w.c_str(), 1, 8192, width) && parseInt(x + 1, 1, 8192, height);
}

} // namespace

const char* usageText() {
  return "usage: camview [--host H] [--port P] [--id N] [--host H2 --port P2 --id N2 ...]\n"
         "               [--grid N] [--size WxH] [--language de|en]\n"
         "               [--snapshot FILE.png [--frames N] [--timeout S]]\n"
         "Shows the pictures of recorder connections, one viewer per camera, in one window.\n"
         "  --host H        recorder address (starts another camera when given again)\n"
         "  --port P        its TCP port (default 7070)\n"
         "  --id N          connection identifier (default 0)\n"
         "  --grid N        N viewers of the last camera, ids N, N+1, ... in a grid\n"
         "  --size WxH      window size (default 720x576)\n"
         "  --language L    de or en (default: the system's language)\n"
         "  --snapshot F    no window: write what it would show to the PNG file F after\n"
         "                  --frames N decoded pictures per viewer (default 1), or the\n"
         "                  status screen after --timeout S seconds (default 10)\n";
}

bool parseCommandLine(int argc, const char* const* argv, Options& options, std::string& error) {
  options = Options{};
  bool addressGiven = false;
  int grid = 1;
  auto latest = [&]() -> CameraAddress& {
    if (options.cameras.empty()) options.cameras.emplace_back();
    return options.cameras.back();
  };
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = "missing value after " + name;
      return false;
    }
    const char* value = argv[++i];
    if (name == "--host") {
      if (addressGiven || options.cameras.empty()) options.cameras.emplace_back();
      options.cameras.back().host = value;
      addressGiven = true;
    } else if (name == "--port") {
      if (!parseInt(value, 0, 65535, latest().port)) {
        error = "bad port: " + std::string(value);
        return false;
      }
    } else if (name == "--id") {
      if (!parseInt(value, -2147483647L - 1, 2147483647L, latest().id)) {
        error = "bad id: " + std::string(value);
        return false;
      }
    } else if (name == "--grid") {
      if (!parseInt(value, 1, 64, grid)) {
        error = "bad grid (1 to 64 viewers): " + std::string(value);
        return false;
      }
    } else if (name == "--size") {
      if (!parseSize(value, options.width, options.height)) {
        error = "bad size (WxH): " + std::string(value);
        return false;
      }
    } else if (name == "--language") {
      const std::string language = value;
      if (language == "de")
        options.language = 0;
      else if (language == "en")
        options.language = 1;
      else {
        error = "bad language (de or en): " + language;
        return false;
      }
    } else if (name == "--snapshot") {
      options.snapshot = value;
    } else if (name == "--frames") {
      if (!parseInt(value, 1, 1000000, options.frames)) {
        error = "bad frame count: " + std::string(value);
        return false;
      }
    } else if (name == "--timeout") {
      char* end = nullptr;
      options.timeoutSeconds = std::strtod(value, &end);
      if (*end != '\0' || !(options.timeoutSeconds > 0) || options.timeoutSeconds > 86400) {
        error = "bad timeout: " + std::string(value);
        return false;
      }
    } else {
      error = "unknown option: " + name;
      return false;
    }
  }
  if (options.cameras.empty()) options.cameras.emplace_back();
  const CameraAddress last = options.cameras.back();
  for (int n = 1; n < grid; ++n) {
    CameraAddress next = last;
    next.id = last.id + n;
    options.cameras.push_back(next);
  }
  return true;
}

} // namespace desktop
