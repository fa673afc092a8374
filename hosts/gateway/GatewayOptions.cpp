#include "hosts/gateway/GatewayOptions.h"

#include "hosts/gateway/ConfigFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <functional>

namespace gateway {

namespace {

template <typename Int>
bool parseInt(std::string_view text, Int low, Int high, Int& value) {
  Int parsed = 0;
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
  std::string address = text.substr(equals + 1);
  // HOST:PORT:IDS lists the cameras. An IPv6 host is bracketed, and unbracketed it has two
  // colons of its own besides the port's, so exactly two colons outside brackets mean a list.
  const std::size_t bracket = address.rfind(']');
  const std::size_t hostEnd = bracket == std::string::npos ? 0 : bracket;
  if (std::count(address.begin() + std::ptrdiff_t(hostEnd), address.end(), ':') == 2) {
    const std::size_t colon = address.rfind(':');
    if (!parseCameraList(std::string_view(address).substr(colon + 1), recorder.cameras, error)) {
      error = "--recorder " + recorder.name + ": " + error;
      return false;
    }
    address.resize(colon);
  }
  if (!parseHostPort(address, recorder.host, recorder.port, false) || recorder.host.empty()) {
    error = "--recorder " + recorder.name + ": HOST:PORT[:IDS] with a port of 1..65535 expected";
    return false;
  }
  return true;
}

// One value per occurrence; repeat the option for more.
CLI::Option* addRepeatable(CLI::App& app, const std::string& name, std::vector<std::string>& values,
                           const std::string& text) {
  return app.add_option(name, values, text)->allow_extra_args(false)->take_all();
}

// The command line of the gateway. `texts` receives what is checked after CLI11 has parsed.
struct GatewayCommandLine {
  std::string listen;
  std::vector<std::string> recorders;
  CLI::App app{"Serves the camera page and relays the named recorders to browsers over WebSocket.", "camview-gateway"};

  explicit GatewayCommandLine(GatewayOptions& options) {
    app.get_formatter()->column_width(30);
    app.set_help_flag("-h,--help", "this text");
    app.add_option("--config", options.configFile,
                   "read settings from FILE: these options without '--', one a line (see below)")
        ->type_name("FILE");
    app.add_option("--listen", listen, "where to listen (default 127.0.0.1:8080; port 0 picks a free one)")
        ->type_name("HOST:PORT");
    addRepeatable(app, "--recorder", recorders,
                  "a recorder browsers may watch, by NAME only; IDS: its cameras on the wall, e.g. 1-16 or "
                  "0,3,5-7 (default 0); repeatable")
        ->type_name("NAME=HOST:PORT[:IDS]");
    app.add_option("--web-root", options.webRoot, "folder with camview-viewer.js and the WebAssembly module")
        ->type_name("DIR");
    addRepeatable(app, "--allow-origin", options.allowedOrigins,
                  "also accept WebSockets from pages of ORIGIN (repeatable; '*': any)")
        ->type_name("ORIGIN");
    addRepeatable(app, "--public-name", options.publicNames,
                  "a host name browsers reach the gateway by, besides its address (repeatable)")
        ->type_name("NAME");
    app.add_option("--secret-file", options.secretFile,
                   "secrets for signed links, one a line (the first signs); needed off loopback")
        ->type_name("FILE");
    app.add_flag("--no-access-control", options.noAccessControl,
                 "serve off loopback without signed links (warned about at every start)");
    app.add_option("--max-connections", options.maxConnections, "HTTP and WebSocket connections at once (default 64)")
        ->type_name("N")
        ->check(CLI::Range(1, 100000).description(""));
    app.add_option("--max-per-client", options.maxPerClient, "of those, from one client address (default 32)")
        ->type_name("N")
        ->check(CLI::Range(1, 100000).description(""));
    app.add_option("--max-cameras", options.maxCameras, "recorder connections at once (default 32)")
        ->type_name("N")
        ->check(CLI::Range(1, 100000).description(""));
    app.add_option("--linger", options.lingerMs, "keep an unwatched camera's recorder connection (default 5000)")
        ->type_name("MS")
        ->check(CLI::Range(0, 3600000).description(""));
    app.add_option("--frame-ancestors", options.frameAncestors,
                   "pages that may embed the camera page (CSP sources, default 'self')")
        ->type_name("SOURCES");
    addRepeatable(app, "--metrics-from", options.metricsFrom,
                  "only this client address may read /metrics and /healthz (repeatable)")
        ->type_name("ADDR");
    addRepeatable(app, "--trusted-proxy", options.trustedProxies,
                  "believe X-Forwarded-For/-Proto from this proxy's address only (repeatable)")
        ->type_name("ADDR");
    app.add_flag("--quiet", options.quiet, "no status lines on stderr");
    app.footer("Wall: http://HOST:PORT/[?page=P][&token=T]\n"
               "Config file: 'recorder = [\"gate=HOST:PORT\", ...]', 'max-cameras = 16', 'quiet = true'; the\n"
               "command line overrides it, SIGHUP reads it again.\n"
               "Page: http://HOST:PORT/?recorder=NAME&id=N[,M ...][&size=WxH][&token=T]\n"
               "Signed links: camview-gateway sign --help");
  }
};

bool parseWith(CLI::App& app, const std::vector<std::string>& arguments, bool& help, std::string& error) {
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend()); // CLI11 takes them from the back
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    help = true;
  } catch (const CLI::ParseError& failure) {
    error = failure.what();
    return false;
  }
  return true;
}

struct SignCommandLine {
  std::string ids, ttl;
  CLI::App app{"Prints the camera page's path with a signed link that allows watching the given cameras of\n"
               "one recorder until the link expires.",
               "camview-gateway sign"};

  explicit SignCommandLine(SignOptions& options) {
    app.get_formatter()->column_width(30);
    app.set_help_flag("-h,--help", "this text");
    app.add_option("--secret-file", options.secretFile, "the gateway's secret file (its first secret signs)")
        ->type_name("FILE");
    app.add_option("--recorder", options.recorder, "the recorder's name")->type_name("NAME");
    app.add_option("--id", ids, "the connection ids the link allows")->type_name("N[,M ...]");
    app.add_option("--ttl", ttl, "how long the link works: 90s, 15m, 8h, 7d")->type_name("DURATION");
  }
};

constexpr int kMaxSignedIds = 16;

} // namespace

const char* usageText() {
  static const std::string text = [] {
    GatewayOptions ignored;
    GatewayCommandLine commandLine(ignored);
    return commandLine.app.help();
  }();
  return text.c_str();
}

const char* signUsageText() {
  static const std::string text = [] {
    SignOptions ignored;
    SignCommandLine commandLine(ignored);
    return commandLine.app.help();
  }();
  return text.c_str();
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
  if (!parseInt(std::string_view(text).substr(colon + 1), portZeroAllowed ? 0 : 1, 65535, port)) return false;
  host = text.substr(0, colon);
  // An IPv6 address is written in brackets in front of its port.
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return true;
}

bool isLoopbackAddress(const std::string& host) {
  return host == "::1" || host.rfind("127.", 0) == 0 || host == "localhost";
}

const RecorderAddress* findRecorder(const GatewayOptions& options, const std::string& name) {
  for (const RecorderAddress& recorder : options.recorders)
    if (recorder.name == name) return &recorder;
  return nullptr;
}

namespace {

using SettingsReader = std::function<bool(const std::string& path, std::vector<ConfigSetting>&, std::string&)>;

// The file's settings as the options they stand for ("--name=value", one a value), leaving out
// those the command line (already parsed by `given`) sets: the command line overrides the file.
bool settingsAsArguments(const CLI::App& given, const std::vector<ConfigSetting>& settings,
                         std::vector<std::string>& arguments, std::string& error) {
  for (const ConfigSetting& setting : settings) {
    const CLI::Option* option =
        setting.name == "config" || setting.name == "help" ? nullptr : given.get_option_no_throw("--" + setting.name);
    if (!option) {
      error = "unknown setting '" + setting.name + "'";
      return false;
    }
    if (option->count() > 0) continue;
    if (option->get_expected_min() == 0) { // a flag
      if (setting.values.size() != 1 || (setting.values[0] != "true" && setting.values[0] != "false")) {
        error = setting.name + " wants true or false";
        return false;
      }
      if (setting.values[0] == "true") arguments.push_back("--" + setting.name);
      continue;
    }
    if (option->get_items_expected_max() == 1 && setting.values.size() != 1) {
      error = setting.name + " takes one value (quote a value that has spaces)";
      return false;
    }
    for (const std::string& value : setting.values) arguments.push_back("--" + setting.name + "=" + value);
  }
  return true;
}

bool parseCombined(const std::vector<std::string>& arguments, const SettingsReader& readSettings,
                   GatewayOptions& options, std::string& error) {
  // The command line alone first: it names the file, and says which of its settings it overrides.
  std::vector<std::string> combined;
  {
    GatewayOptions given;
    GatewayCommandLine commandLine(given);
    if (!parseWith(commandLine.app, arguments, options.help, error)) return false;
    if (options.help) return true;
    if (!given.configFile.empty()) {
      std::vector<ConfigSetting> settings;
      if (!readSettings(given.configFile, settings, error)) return false;
      if (!settingsAsArguments(commandLine.app, settings, combined, error)) {
        error = "config file " + given.configFile + ": " + error;
        return false;
      }
    }
  }
  combined.insert(combined.end(), arguments.begin(), arguments.end());
  GatewayCommandLine commandLine(options);
  if (!parseWith(commandLine.app, combined, options.help, error)) {
    // The command line alone was read without fault: what is wrong came from the file.
    if (!options.configFile.empty()) error = "config file " + options.configFile + ": " + error;
    return false;
  }
  if (!commandLine.listen.empty() &&
      (!parseHostPort(commandLine.listen, options.listenHost, options.listenPort, true) ||
       options.listenHost.empty())) {
    error = "--listen wants HOST:PORT, got '" + commandLine.listen + "'";
    return false;
  }
  for (const std::string& text : commandLine.recorders) {
    RecorderAddress recorder;
    if (!parseRecorder(text, recorder, error)) return false;
    if (findRecorder(options, recorder.name)) {
      error = "recorder " + recorder.name + " named twice";
      return false;
    }
    options.recorders.push_back(recorder);
  }
  for (const std::string& name : options.publicNames) {
    if (name.empty() || name.size() > std::size_t(kMaxHostLength) ||
        name.find_first_of(" /:@\t") != std::string::npos) {
      error = "--public-name wants a bare host name, got '" + name + "'";
      return false;
    }
  }
  if (options.frameAncestors.find_first_of("\r\n;,") != std::string::npos) {
    error = "--frame-ancestors: CSP sources separated by spaces";
    return false;
  }
  if (!options.secretFile.empty() && options.noAccessControl) {
    error = "--secret-file and --no-access-control exclude each other";
    return false;
  }
  if (options.recorders.empty()) {
    error = "name at least one recorder: --recorder NAME=HOST:PORT";
    return false;
  }
  return true;
}

bool parseGatewayLine(const std::vector<std::string>& arguments, const SettingsReader& readSettings,
                      GatewayOptions& options, std::string& error) {
  if (parseCombined(arguments, readSettings, options, error)) return true;
  // A value checked after both were read may be either's.
  if (!options.configFile.empty() && error.rfind("config file ", 0) != 0)
    error += " (on the command line or in config file " + options.configFile + ")";
  return false;
}

} // namespace

bool parseGatewayArguments(const std::vector<std::string>& arguments, GatewayOptions& options, std::string& error) {
  return parseGatewayLine(arguments, readConfigFile, options, error);
}

bool parseGatewayArguments(const std::vector<std::string>& arguments, std::string_view configText,
                           GatewayOptions& options, std::string& error) {
  return parseGatewayLine(
      arguments,
      [configText](const std::string&, std::vector<ConfigSetting>& settings, std::string& error) {
        return parseConfigText(configText, settings, error);
      },
      options, error);
}

bool parseDuration(const std::string& text, std::int64_t& seconds) {
  if (text.empty()) return false;
  std::int64_t unit = 1;
  std::string_view number = text;
  switch (text.back()) {
  case 's':
    unit = 1;
    break;
  case 'm':
    unit = 60;
    break;
  case 'h':
    unit = 3600;
    break;
  case 'd':
    unit = 86400;
    break;
  default:
    unit = 0;
  }
  if (unit != 0)
    number.remove_suffix(1);
  else
    unit = 1;
  std::int64_t count = 0;
  constexpr std::int64_t kMaxSeconds = 366 * 86400;
  if (!parseInt<std::int64_t>(number, 1, kMaxSeconds, count) || count * unit > kMaxSeconds) return false;
  seconds = count * unit;
  return true;
}

bool parseCameraList(std::string_view text, std::vector<std::int32_t>& ids, std::string& error) {
  ids.clear();
  std::vector<bool> listed(std::size_t(kMaxWallCameraId) + 1, false);
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const std::size_t dash = item.find('-');
    const std::string_view firstText = item.substr(0, dash);
    const std::string_view lastText = dash == std::string_view::npos ? firstText : item.substr(dash + 1);
    std::int32_t first = 0, last = 0;
    if (!parseInt<std::int32_t>(firstText, 0, kMaxWallCameraId, first) ||
        !parseInt<std::int32_t>(lastText, 0, kMaxWallCameraId, last)) {
      error = "cameras are ids of 0 to " + std::to_string(kMaxWallCameraId) +
              " or ranges such as 1-16, separated by commas; not '" + std::string(item) + "'";
      return false;
    }
    if (last < first) {
      error = "the range " + std::string(item) + " runs backwards";
      return false;
    }
    for (std::int32_t id = first; id <= last; ++id) {
      if (listed[std::size_t(id)]) {
        error = "camera " + std::to_string(id) + " is listed twice";
        return false;
      }
      if (ids.size() >= kMaxCamerasPerRecorder) {
        error = "at most " + std::to_string(kMaxCamerasPerRecorder) + " cameras per recorder";
        return false;
      }
      listed[std::size_t(id)] = true;
      ids.push_back(id);
    }
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

bool parseIdList(std::string_view text, std::size_t limit, std::vector<std::int32_t>& ids) {
  while (true) {
    const std::size_t comma = text.find(',');
    std::int32_t id = 0;
    if (!parseInt<std::int32_t>(text.substr(0, comma), INT32_MIN, INT32_MAX, id)) return false;
    if (ids.size() >= limit) return false;
    ids.push_back(id);
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

bool parseSignArguments(const std::vector<std::string>& arguments, SignOptions& options, std::string& error) {
  SignCommandLine commandLine(options);
  if (!parseWith(commandLine.app, arguments, options.help, error)) return false;
  if (options.help) return true;
  if (options.secretFile.empty()) {
    error = "--secret-file FILE is needed";
    return false;
  }
  if (!validRecorderName(options.recorder)) {
    error = "--recorder NAME, 1 to 32 letters, digits, '-' or '_'";
    return false;
  }
  if (commandLine.ids.empty() || !parseIdList(commandLine.ids, kMaxSignedIds, options.ids)) {
    error = "--id wants 1 to " + std::to_string(kMaxSignedIds) + " whole numbers separated by commas";
    return false;
  }
  if (!parseDuration(commandLine.ttl, options.ttlSeconds)) {
    error = "--ttl wants a duration of 1s to 366d such as 90s, 15m, 8h or 7d";
    return false;
  }
  return true;
}

} // namespace gateway
