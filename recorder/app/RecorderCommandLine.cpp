#include "recorder/app/RecorderCommandLine.h"

#include "tools/cli/OptionValues.h"

#include <cmath>
#include <cstdint>

namespace recorder {
namespace {

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
  --cameras N            cameras 1..N of the live test pattern are recorded while nobody watches
                         them (default 16; 0: none): each keeps its latest picture ready, so a
                         viewer that opens one gets its first picture without waiting for it
                         to be encoded
  --idle-fps R           pictures per second each such camera makes while nobody watches it
                         (default 0.25); 16 cameras cost 16 x R encodes per second
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

bool parseCommandLine(const std::vector<std::string>& arguments, RecorderCommandLine& result, std::string& error) {
  using camview::cli::Parser;
  RecorderCommandLine line;
  ServerOptions& options = line.server;
  Parser parser("camview-recorder", line.help);
  parser.value("--listen", [&](const std::string& text) {
    const auto address = camview::cli::parseHostPort(text);
    if (!address) throw CLI::ValidationError("--listen takes HOST:PORT, e.g. 127.0.0.1:7070");
    options.host = address->host;
    options.port = address->port;
  });
  parser.integer("--port", options.port, 0, 65535);
  parser.integer("--max-viewers", options.maxViewers, 1, 10000);
  parser.flag("--diagnostics", options.diagnostics);
  parser.value("--language", [&](const std::string& text) {
    if (text == "de" || text == "en") {
      options.language = builtInLanguageTable(text == "de");
      return;
    }
    LanguageTable table;
    std::string problem;
    if (!loadLanguageFile(text, table, problem)) throw CLI::ValidationError(problem);
    options.language = std::move(table);
  });
  parser.text("--camera", options.camera);
  parser.text("--text1", options.text1);
  parser.text("--text2", options.text2);
  parser.text("--text3", options.text3);
  parser.value("--standard", [&](const std::string& text) {
    if (text != "576" && text != "486") throw CLI::ValidationError("--standard takes 576 or 486");
    options.encoding.standard576 = text == "576";
  });
  parser.integer("--level", options.encoding.level, 0, 4);
  parser.integer("--quality", options.encoding.quality, 1, 100);
  parser.integer("--fields", options.encoding.fields, 1, 2);
  parser.value("--fps", [&](const std::string& text) {
    double rate = 0;
    if (!toDouble(text, rate) || rate < 0 || rate > 1000)
      throw CLI::ValidationError("--fps takes a rate from 0 (unlimited) to 1000");
    options.picturesPerSecond = rate;
  });
  parser.integer("--loop", options.loopPictures, 1, 1000);
  options.readyCameras = kProgramReadyCameras;
  parser.integer("--cameras", options.readyCameras, 0, 1000);
  parser.value("--idle-fps", [&](const std::string& text) {
    double rate = 0;
    if (!toDouble(text, rate) || rate < 0.01 || rate > 25)
      throw CLI::ValidationError("--idle-fps takes a rate from 0.01 to 25");
    options.idlePicturesPerSecond = rate;
  });
  // Images named by --image and plain arguments play in the order given.
  std::vector<std::string> imageOptions, plainImages;
  CLI::Option* image = parser.app().add_option("--image", imageOptions);
  CLI::Option* plain = parser.app().add_option("images", plainImages);
  parser.integer("--hold", line.picturesPerStill, 1, 100000);
  auto addRules = [&](bool fromFile) {
    return [&options, fromFile](const std::string& text) {
      std::string problem;
      if (!(fromFile ? options.faults.parseFile(text, problem) : options.faults.parse(text, problem)))
        throw CLI::ValidationError(problem);
    };
  };
  parser.value("--fault", addRules(false));
  parser.value("--fault-script", addRules(true));
  parser.value("--close-after", [&](const std::string& text) {
    FaultRule rule;
    rule.when = FaultWhen::At;
    rule.count = static_cast<std::uint64_t>(Parser::checkedInteger("--close-after", text, 0, 1LL << 40));
    rule.action = FaultAction::Close;
    options.faults.add(rule);
  });
  parser.integer("--refuse", options.refuseAtStartMs, 0, 24LL * 3600 * 1000);
  parser.value("--status-interval", [&](const std::string& text) {
    options.statusIntervalMs = static_cast<int>(Parser::checkedInteger("--status-interval", text, 0, 86400) * 1000);
  });
  parser.flag("-q,--quiet", options.quiet);
  if (!parser.parse(arguments, error)) return false;

  std::size_t fromOption = 0, fromPlain = 0;
  for (const CLI::Option* option : parser.app().parse_order()) {
    if (option == image) line.images.push_back(imageOptions[fromOption++]);
    if (option == plain) line.images.push_back(plainImages[fromPlain++]);
  }
  result = std::move(line);
  return true;
}

} // namespace recorder
