#include "hosts/gateway/GatewayOptions.h"

#include <charconv>

namespace gateway {

namespace {

bool parseInt(const std::string& text, int low, int high, int& value) {
  int parsed = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
  if (text.empty() || ec != std::errc() || ptr != end || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool parseRecorder(const std::string& text, RecorderAddress& recorder, std::string& error) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) {
    error = "--recorder wants NAME=HOST:PORT, got '" + text + "'";
    return false;
  }
  recorder.name = text.substr(0, equals);
  if (!validRecorderName(recorder.name)) {
    error = "recorder name '" + recorder.name + "': 1 to 32 letters, digits, '-' or '_'";
    return false;
  }
  if (!parseHostPort(text.substr(equals + 1), recorder.host, recorder.port, false) || recorder.host.empty()) {
    error = "--recorder " + recorder.name + ": HOST:PORT with a port of 1..65535 expected";
    return false;
  }
  return true;
}

} // namespace

const char* usageText() {
  return "usage: camview-gateway --listen HOST:PORT --recorder NAME=HOST:PORT [--recorder ...]\n"
         "                       [--web-root DIR] [--allow-origin ORIGIN ...] [--max-connections N]\n"
         "                       [--max-cameras N] [--linger MS] [--quiet]\n"
         "\n"
         "Serves the camera page and relays the named recorders to browsers over WebSocket.\n"
         "  --listen HOST:PORT     where to listen (default 127.0.0.1:8080; port 0 picks a free one)\n"
         "  --recorder NAME=HOST:PORT\n"
         "                         a recorder browsers may watch, by NAME only (repeatable)\n"
         "  --web-root DIR         folder with camview-viewer.js and the WebAssembly module\n"
         "  --allow-origin ORIGIN  also accept WebSockets from pages of ORIGIN (repeatable; '*': any)\n"
         "  --max-connections N    HTTP and WebSocket connections at once (default 64)\n"
         "  --max-cameras N        recorder connections at once (default 32)\n"
         "  --linger MS            keep an unwatched camera's recorder connection (default 5000)\n"
         "  --quiet                no status lines on stderr\n"
         "\n"
         "Page: http://HOST:PORT/?recorder=NAME&id=N[&id=M ...][&size=WxH]\n";
}

bool validRecorderName(const std::string& name) {
  if (name.empty() || name.size() > kMaxRecorderNameLength) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool parseHostPort(const std::string& text, std::string& host, int& port, bool portZeroAllowed) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon > std::size_t(kMaxHostLength)) return false;
  if (!parseInt(text.substr(colon + 1), portZeroAllowed ? 0 : 1, 65535, port)) return false;
  host = text.substr(0, colon);
  return true;
}

const RecorderAddress* findRecorder(const GatewayOptions& options, const std::string& name) {
  for (const RecorderAddress& recorder : options.recorders)
    if (recorder.name == name) return &recorder;
  return nullptr;
}

bool parseGatewayArguments(const std::vector<std::string>& arguments, GatewayOptions& options, std::string& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) {
        error = option + " needs a value";
        return false;
      }
      out = arguments[++i];
      return true;
    };
    std::string text;
    if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--quiet") {
      options.quiet = true;
    } else if (option == "--listen") {
      if (!value(text)) return false;
      if (!parseHostPort(text, options.listenHost, options.listenPort, true) || options.listenHost.empty()) {
        error = "--listen wants HOST:PORT, got '" + text + "'";
        return false;
      }
    } else if (option == "--recorder") {
      if (!value(text)) return false;
      RecorderAddress recorder;
      if (!parseRecorder(text, recorder, error)) return false;
      if (findRecorder(options, recorder.name)) {
        error = "recorder " + recorder.name + " named twice";
        return false;
      }
      options.recorders.push_back(recorder);
    } else if (option == "--web-root") {
      if (!value(options.webRoot)) return false;
    } else if (option == "--allow-origin") {
      if (!value(text)) return false;
      options.allowedOrigins.push_back(text);
    } else if (option == "--max-connections" || option == "--max-cameras" || option == "--linger") {
      if (!value(text)) return false;
      int* target = option == "--max-connections" ? &options.maxConnections
                    : option == "--max-cameras"   ? &options.maxCameras
                                                  : &options.lingerMs;
      const int low = option == "--linger" ? 0 : 1;
      if (!parseInt(text, low, option == "--linger" ? 3600000 : 100000, *target)) {
        error = option + ": a number is expected, got '" + text + "'";
        return false;
      }
    } else {
      error = "unknown option '" + option + "'";
      return false;
    }
  }
  if (!options.help && options.recorders.empty()) {
    error = "name at least one recorder: --recorder NAME=HOST:PORT";
    return false;
  }
  return true;
}

} // namespace gateway
