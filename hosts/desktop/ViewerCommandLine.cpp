#include "hosts/desktop/ViewerCommandLine.h"

#include "tools/cli/OptionValues.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <tuple>

namespace desktop {

const char* usageText() {
  return "usage: camview [--host H] [--port P] [--id N] [--host H2 --port P2 --id N2 ...]\n"
         "               [--grid N] [--size WxH] [--language de|en] [--decode fit|full]\n"
         "               [--snapshot FILE.png [--frames N] [--timeout S]]\n"
         "Shows the pictures of recorder connections, one viewer per camera, in one window.\n"
         "  --host H        recorder address (starts another camera when given again)\n"
         "  --port P        its TCP port (default 7070)\n"
         "  --id N          connection identifier (default 0)\n"
         "  --grid N        N viewers of the last camera, ids N, N+1, ... in a grid\n"
         "  --size WxH      window size (default 720x576)\n"
         "  --language L    de or en (default: the system's language)\n"
         "  --decode M      fit: a viewer at most half the picture's size decodes the\n"
         "                  picture at a lower resolution that still covers it, for a\n"
         "                  fraction of the work (default); full: every picture at its\n"
         "                  own resolution, scaled to the viewer's size\n"
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
  camview::cli::Parser parser("camview", options.help);
  parser.value("--host", [&](const std::string& host) {
    if (addressGiven || options.cameras.empty()) options.cameras.emplace_back();
    options.cameras.back().host = host;
    addressGiven = true;
  });
  parser.value("--port", [&](const std::string& text) {
    latest().port = static_cast<int>(camview::cli::Parser::checkedInteger("--port", text, 0, 65535));
  });
  parser.value("--id", [&](const std::string& text) {
    latest().id = static_cast<int>(camview::cli::Parser::checkedInteger("--id", text, INT32_MIN, INT32_MAX));
  });
  parser.integer("--grid", grid, 1, 64);
  parser.value("--size", [&](const std::string& text) {
    const auto size = camview::cli::parseSize(text, 1, 8192);
    if (!size) throw CLI::ValidationError("bad size (WxH): " + text);
    std::tie(options.width, options.height) = *size;
  });
  parser.value("--language", [&](const std::string& text) {
    if (text != "de" && text != "en") throw CLI::ValidationError("bad language (de or en): " + text);
    options.language = text == "de" ? 0 : 1;
  });
  parser.value("--decode", [&](const std::string& text) {
    if (text != "fit" && text != "full") throw CLI::ValidationError("bad decode (fit or full): " + text);
    options.decode = text == "fit" ? presentation::DecodeMode::Fit : presentation::DecodeMode::Full;
  });
  parser.text("--snapshot", options.snapshot);
  parser.integer("--frames", options.frames, 1, 1000000);
  parser.value("--timeout", [&](const std::string& text) {
    char* end = nullptr;
    options.timeoutSeconds = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(options.timeoutSeconds > 0) || options.timeoutSeconds > 86400)
      throw CLI::ValidationError("bad timeout: " + text);
  });
  if (!parser.parse(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), error)) return false;
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
