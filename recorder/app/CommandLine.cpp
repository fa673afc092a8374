#include "recorder/app/CommandLine.h"

#include <charconv>
#include <cmath>

namespace recorder {
namespace {

bool toInt(const std::string& text, long long low, long long high, long long& value) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  return problem == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

bool toDouble(const std::string& text, double& value) {
  try {
    std::size_t used = 0;
    value = std::stod(text, &used);
    return used == text.size() && std::isfinite(value);
  } catch (...) {
    return false;
  }
}

} // namespace

std::string helpText() {
  return R"(camview-recorder - a recorder simulator for the camview viewer

Usage: camview-recorder [OPTIONS] [IMAGE.png ...]

Serves the recorder protocol on a TCP port: every viewer that connects sends an open
request with its connection id and then receives one wavelet-compressed picture per
request. Without images each connection gets a live test pattern (colour bars, grey
ramp, zone plate, line pairs, moving shapes, its connection id and a running clock);
with images the pictures loop through them. Prints "listening on HOST:PORT" on stdout
once it accepts connections, one status line per connection on stderr, and stops
cleanly on Ctrl-C (SIGINT) or SIGTERM.

Network:
  --listen HOST:PORT     address to listen on (default 127.0.0.1:7070)
  --port N               port only (0 picks a free port; see the "listening on" line)
  --max-viewers N        connections served at once (default 64); more are closed

Protocol:
  --diagnostics          set bit 0 of the recorder flags: viewers draw their statistics
  --language de|en|FILE  send a text table: the built-in German or English texts, or a
                         table file (below); without it the viewer keeps its own texts

Pictures:
  --camera NAME          camera name in the header; %d becomes the connection id
                         (default "Camera %d")
  --text1 TEXT           header text of up to 7 characters (default empty)
  --text2 TEXT           header text of up to 71 characters (default: the source,
                         e.g. "test pattern, id 3" or the image's file name)
  --text3 C              one-character header text (default empty)
  --standard 576|486     video standard: 720 x 576 (default) or 720 x 486
  --level 0..4           resolution level: the viewer shows 1/2^level of the size (default 0)
  --quality 1..100       encoder quality, higher is better and larger (default 75)
  --fields 1|2           interlaced fields per picture (default 2; at levels 1..4 viewers
                         decode only the first field, so 1 halves the work there)
  --fps N                pictures per second at most, per viewer (default 25; 0: as fast
                         as the viewer asks). Pictures never go out faster than this.
  --loop N               each camera encodes N pictures of the test pattern when its first
                         viewer asks and then serves them in a loop, encoding nothing more
                         (for measuring viewers: the recorder then costs little CPU)
  --image FILE           a PNG image to play (may repeat; plain arguments are images too)
  --hold N               pictures per image before the next one (default 1)

Faults (for tests and demonstrations):
  --fault RULE           add a fault rule (may repeat; rules may be separated by ';')
  --fault-script FILE    add the rules of a file, one per line, '#' starts a comment
  --close-after N        same as --fault "at N close"
  --refuse MS            refuse connections for MS milliseconds after start

  A rule is   [id N] WHEN ACTION [ARGUMENTS]
  WHEN        open       on the open request, before "connection established"
              at N       when N pictures have been sent on the connection
              every N    at N, 2N, 3N ... pictures
  ACTION      close              close the connection
              end                reply code 4 (the recorder ends the communication), close
              error CODE         reply code 12 with error CODE (2000..2014), go on
              reply CODE [PARAM] any reply code with parameter PARAM, go on
              garbage [BYTES]    BYTES (default 64) bytes of noise before the next message
                                 (viewers resynchronise in steps of 8 bytes: use multiples of 8)
              badtag             a whole message whose tag is not "PLPR"
              baditem            the next picture carries an item of an unknown tag
              half               half of the next message, then close
              stall MS           send nothing for MS milliseconds
              corrupt            the next picture cannot be decompressed
              refuse MS          refuse new connections for MS milliseconds
  "id N" limits a rule to viewers that opened with connection id N.
  Examples:   --fault "at 100 end"   --fault "every 50 corrupt"
              --fault "id 2 at 10 error 2013; id 2 at 10 stall 3000"

Output:
  --status-interval S    seconds between status lines of a connection (default 5; 0: only
                         connect, faults and close)
  --quiet                no status lines
  --help                 this text

Language table file (--language FILE), Windows-1252 or UTF-8 text:
  # a comment
  [Deutsch]                        a row (one language); its name is the "language" text
  camera = Kamera                  key = text
  waitconnect = Verbindungsaufbau...
  [English]
  camera = Camera
  use = English                    the row the viewer shows (name or index; default: first)
  Keys: camera date time picture decompresserror err_unknown err_commclosed err_socket
        err_mem err_thread waitconnect info_establish zemerr_emptytrack zemerr_intern
        zemerr_notfound zemerr_trackerase zemerr_lostpic zemerr_first zemerr_last
  Keys a row leaves out show as empty texts in the viewer.
)";
}

bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& result, std::string& error) {
  CommandLine line;
  ServerOptions& options = line.server;
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
    auto integer = [&](long long low, long long high, long long& out) {
      std::string text;
      if (!value(text)) return false;
      if (!toInt(text, low, high, out)) {
        error = option + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                text + "'";
        return false;
      }
      return true;
    };
    std::string text;
    long long number = 0;
    if (option == "--help" || option == "-h") {
      line.help = true;
    } else if (option == "--listen") {
      if (!value(text)) return false;
      const auto colon = text.rfind(':');
      if (colon == std::string::npos || colon == 0 || !toInt(text.substr(colon + 1), 0, 65535, number)) {
        error = "--listen takes HOST:PORT, e.g. 127.0.0.1:7070";
        return false;
      }
      options.host = text.substr(0, colon);
      options.port = static_cast<int>(number);
    } else if (option == "--port") {
      if (!integer(0, 65535, number)) return false;
      options.port = static_cast<int>(number);
    } else if (option == "--max-viewers") {
      if (!integer(1, 10000, number)) return false;
      options.maxViewers = static_cast<int>(number);
    } else if (option == "--diagnostics") {
      options.diagnostics = true;
    } else if (option == "--language") {
      if (!value(text)) return false;
      if (text == "de" || text == "en") {
        options.language = builtInLanguageTable(text == "de");
      } else {
        LanguageTable table;
        if (!loadLanguageFile(text, table, error)) return false;
        options.language = std::move(table);
      }
    } else if (option == "--camera") {
      if (!value(options.camera)) return false;
    } else if (option == "--text1") {
      if (!value(options.text1)) return false;
    } else if (option == "--text2") {
      if (!value(options.text2)) return false;
    } else if (option == "--text3") {
      if (!value(options.text3)) return false;
    } else if (option == "--standard") {
      if (!value(text)) return false;
      if (text != "576" && text != "486") {
        error = "--standard takes 576 or 486";
        return false;
      }
      options.encoding.standard576 = text == "576";
    } else if (option == "--level") {
      if (!integer(0, 4, number)) return false;
      options.encoding.level = static_cast<int>(number);
    } else if (option == "--quality") {
      if (!integer(1, 100, number)) return false;
      options.encoding.quality = static_cast<int>(number);
    } else if (option == "--fields") {
      if (!integer(1, 2, number)) return false;
      options.encoding.fields = static_cast<int>(number);
    } else if (option == "--fps") {
      if (!value(text)) return false;
      double rate = 0;
      if (!toDouble(text, rate) || rate < 0 || rate > 1000) {
        error = "--fps takes a rate from 0 (unlimited) to 1000";
        return false;
      }
      options.picturesPerSecond = rate;
    } else if (option == "--loop") {
      if (!integer(1, 1000, number)) return false;
      options.loopPictures = static_cast<int>(number);
    } else if (option == "--image") {
      if (!value(text)) return false;
      line.images.push_back(text);
    } else if (option == "--hold") {
      if (!integer(1, 100000, number)) return false;
      line.picturesPerStill = static_cast<int>(number);
    } else if (option == "--fault") {
      if (!value(text) || !options.faults.parse(text, error)) return false;
    } else if (option == "--fault-script") {
      if (!value(text) || !options.faults.parseFile(text, error)) return false;
    } else if (option == "--close-after") {
      if (!integer(0, 1LL << 40, number)) return false;
      FaultRule rule;
      rule.when = FaultWhen::At;
      rule.count = static_cast<std::uint64_t>(number);
      rule.action = FaultAction::Close;
      options.faults.add(rule);
    } else if (option == "--refuse") {
      if (!integer(0, 24LL * 3600 * 1000, number)) return false;
      options.refuseAtStartMs = static_cast<int>(number);
    } else if (option == "--status-interval") {
      if (!integer(0, 86400, number)) return false;
      options.statusIntervalMs = static_cast<int>(number * 1000);
    } else if (option == "--quiet" || option == "-q") {
      options.quiet = true;
    } else if (!option.empty() && option[0] == '-') {
      error = "unknown option " + option + " (see --help)";
      return false;
    } else {
      line.images.push_back(option);
    }
  }
  result = std::move(line);
  return true;
}

} // namespace recorder
