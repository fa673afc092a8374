#include "tools/camview-decode/DecodeTool.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <ostream>
#include <sstream>

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "platform/paint/PngFile.h"

namespace camview::decodetool {
namespace {

constexpr int kPictureWidth = 720;
constexpr int kFrameBytes = 768 * 576 * 3;            // the Decoder thread's work frame
constexpr std::streamoff kMaxPayloadBytes = 64 << 20; // far above any picture

const char* const kUsage = "usage: camview-decode [--engine auto|portable|mmx] [--level L] [--col-end C] [--height H]\n"
                           "                      [--one-field] (--raw OUT | --png OUT.png) PAYLOAD\n";

bool parseInt(const std::string& text, int low, int high, int& value) {
  int parsed = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
  if (ec != std::errc() || ptr != end || text.empty() || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  const std::streamoff size = file.tellg();
  if (size < 0 || size > kMaxPayloadBytes) {
    error = path + " is not a picture payload (size)";
    return false;
  }
  bytes.resize(static_cast<size_t>(size));
  file.seekg(0);
  if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), size)) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

// The frame holds the picture bottom-up, blue, green, red, rows packed.
bool writeFrameAsPng(const std::string& path, const std::vector<uint8_t>& frame, int width, int height) {
  const std::ptrdiff_t rowBytes = std::ptrdiff_t(width) * 3;
  if (width <= 0 || height <= 0 || frame.size() < size_t(rowBytes) * size_t(height)) return false;
  return paint::writePng(path,
                         {width, height, frame.data() + (height - 1) * rowBytes, -rowBytes, paint::ChannelOrder::Bgr});
}

} // namespace

bool parseArguments(const std::vector<std::string>& arguments, Options& options, std::string& error) {
  options = Options{};
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) {
        error = argument + " needs a value";
        return false;
      }
      out = arguments[++i];
      return true;
    };
    std::string text;
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      return true;
    }
    if (argument == "--engine") {
      if (!value(text)) return false;
      if (text == "auto")
        options.engine = wavelet::EngineKind::Automatic;
      else if (text == "portable")
        options.engine = wavelet::EngineKind::Portable;
      else if (text == "mmx")
        options.engine = wavelet::EngineKind::Mmx;
      else {
        error = "unknown engine " + text;
        return false;
      }
    } else if (argument == "--level") {
      if (!value(text)) return false;
      if (!parseInt(text, 0, 5, options.level)) {
        error = "--level takes 0 to 5";
        return false;
      }
    } else if (argument == "--col-end") {
      if (!value(text)) return false;
      if (!parseInt(text, 0, 65535, options.colEnd)) {
        error = "--col-end takes a column number";
        return false;
      }
    } else if (argument == "--height") {
      if (!value(text)) return false;
      if (!parseInt(text, 1, 65535, options.height)) {
        error = "--height takes a line count";
        return false;
      }
    } else if (argument == "--one-field") {
      options.oneField = true;
    } else if (argument == "--raw" || argument == "--png") {
      if (!options.rawPath.empty() || !options.pngPath.empty()) {
        error = "give one of --raw and --png";
        return false;
      }
      if (!value(argument == "--raw" ? options.rawPath : options.pngPath)) return false;
    } else if (argument.size() > 1 && argument[0] == '-') {
      error = "unknown option " + argument;
      return false;
    } else if (options.payloadPath.empty()) {
      options.payloadPath = argument;
    } else {
      error = "more than one payload file";
      return false;
    }
  }
  if (options.rawPath.empty() && options.pngPath.empty()) {
    error = "give --raw OUT or --png OUT.png";
    return false;
  }
  if (options.payloadPath.empty()) {
    error = "no payload file";
    return false;
  }
  return true;
}

int columnLimit(int level) {
  static const int limits[] = {696, 696, 688, 672, 640};
  return limits[std::clamp(level, 0, 4)];
}

Outcome decode(const std::vector<uint8_t>& payload, const Options& options) {
  wavelet::FieldStreams fields;
  if (!wavelet::SplitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields)) {
    // The length word does not fit the payload: the decoder sees an empty first field and
    // reports that itself.
    fields = {};
    fields.firstData = payload.data();
    fields.firstLength = 0;
  }
  wavelet::CWaveletDecoder decoder(kPictureWidth, options.height, options.engine);
  std::vector<uint8_t> frame(kFrameBytes);
  wavelet::DecodeSettings settings;
  settings.region.rowEnd = options.height;
  settings.region.colEnd = options.colEnd >= 0 ? options.colEnd : columnLimit(options.level);
  settings.levels = options.level;
  settings.SetFields(fields);
  if (options.oneField) {
    settings.secondFieldData = nullptr;
    settings.secondFieldLength = 0;
  }
  settings.output = frame.data();
  settings.outputSize = kFrameBytes;

  const wavelet::DecodeReport report = decoder.Decode(settings);
  Outcome outcome;
  outcome.success = report.ok();
  outcome.result = report.result;
  outcome.width = report.outWidth;
  outcome.height = report.outHeight;
  outcome.errorStage = report.errorStage;
  outcome.errorBand = report.errorBand;
  outcome.errorOffset = report.errorOffset;
  if (outcome.success) {
    frame.resize(static_cast<size_t>(std::clamp(report.outputSize, 0, kFrameBytes)));
    outcome.frame.swap(frame);
  }
  return outcome;
}

std::string summaryLine(const Outcome& outcome) {
  std::ostringstream line;
  line << "result=" << outcome.result << " width=" << outcome.width << " height=" << outcome.height
       << " error=" << outcome.errorStage << ',' << outcome.errorBand << ',' << outcome.errorOffset;
  return line.str();
}

int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  Options options;
  std::string error;
  if (!parseArguments(arguments, options, error)) {
    err << "camview-decode: " << error << '\n' << kUsage;
    return kExitUsage;
  }
  if (options.help) {
    out << kUsage;
    return kExitSuccess;
  }
  std::vector<uint8_t> payload;
  if (!readFile(options.payloadPath, payload, error)) {
    err << "camview-decode: " << error << '\n';
    return kExitUsage;
  }
  wavelet::FieldStreams fields;
  if (!wavelet::SplitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields))
    err << "camview-decode: the first field's length word does not fit the payload\n";

  const Outcome outcome = decode(payload, options);
  out << summaryLine(outcome) << '\n';
  if (!outcome.success) return kExitDecodeFailed;

  const bool written = !options.rawPath.empty()
                           ? writeFile(options.rawPath, outcome.frame)
                           : writeFrameAsPng(options.pngPath, outcome.frame, outcome.width, outcome.height);
  if (!written) {
    err << "camview-decode: cannot write " << (options.rawPath.empty() ? options.pngPath : options.rawPath) << '\n';
    return kExitUsage;
  }
  return kExitSuccess;
}

} // namespace camview::decodetool
