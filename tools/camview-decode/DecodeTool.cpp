#include "tools/camview-decode/DecodeTool.h"

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "platform/paint/PngFile.h"
#include "tools/cli/OptionValues.h"

namespace camview::decodetool {
namespace {

constexpr int kPictureWidth = 720;
constexpr int kFrameBytes = 768 * 576 * 3;            // the Decoder thread's work frame
constexpr std::streamoff kMaxPayloadBytes = 64 << 20; // far above any picture

const char* const kUsage = "usage: camview-decode [--engine auto|portable|mmx] [--level L] [--col-end C] [--height H]\n"
                           "                      [--one-field] (--raw OUT | --png OUT.png) PAYLOAD\n";

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
  cli::Parser parser("camview-decode", options.help);
  parser.value("--engine", [&](const std::string& text) {
    if (text == "auto")
      options.engine = wavelet::EngineKind::Automatic;
    else if (text == "portable")
      options.engine = wavelet::EngineKind::Portable;
    else if (text == "mmx")
      options.engine = wavelet::EngineKind::Mmx;
    else
      throw CLI::ValidationError("unknown engine " + text);
  });
  parser.integer("--level", options.level, 0, 5);
  parser.integer("--col-end", options.colEnd, 0, 65535);
  parser.integer("--height", options.height, 1, 65535);
  parser.flag("--one-field", options.oneField);
  auto output = [&](std::string& path) {
    return [&options, &path](const std::string& text) {
      if (!options.rawPath.empty() || !options.pngPath.empty())
        throw CLI::ValidationError("give one of --raw and --png");
      path = text;
    };
  };
  parser.value("--raw", output(options.rawPath));
  parser.value("--png", output(options.pngPath));
  parser.app().add_option("payload", options.payloadPath);
  if (!parser.parse(arguments, error)) return false;
  if (options.help) return true;
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
  return wavelet::kColumnLimits[std::clamp(level, 0, int(wavelet::kColumnLimits.size()) - 1)];
}

Outcome decode(const std::vector<uint8_t>& payload, const Options& options) {
  wavelet::FieldStreams fields;
  if (!wavelet::splitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields)) {
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
  settings.setFields(fields);
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
  if (!wavelet::splitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields))
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
