#include "tests/presentation/ReferencePicture.h"

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "pixkit/PixkitLib.h"
#include "recorder/server/PayloadEncoder.h"
#include "resources/fonts/EmbeddedFonts.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace testsupport {
namespace {

unsigned char* fontBlock(int id) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  if (!embeddedFontBlock(id, &data, &size)) throw std::runtime_error("font block missing");
  return const_cast<unsigned char*>(data);
}

constexpr int kStride(int width) { return (width * 3 + 3) & ~3; }

// The source pixel GDI's COLORONCOLOR stretch shows at destination pixel k of `dest`
// stretched from `source`: growing, the one under the destination pixel's centre (the one
// before on a boundary); shrinking, of the source pixels whose centres land on k (centre
// (j + 1/2) x dest / source, a boundary counting to the pixel before), a row keeps the first
// and a column the last.
int gdiStretchSource(int k, int source, int dest, bool row) {
  const std::int64_t s = source, d = dest;
  if (s <= d) return int(((2 * k + 1) * s - 1) / (2 * d));
  return int(row ? (2 * k * s + d) / (2 * d) : (2 * (k + 1) * s - d) / (2 * d));
}

// The display's rows: base position, font resource, fixed-advance multiplier, colour, flags.
struct OverlayRow {
  int x, y, font;
  float multiplier;
  std::uint32_t colour;
  int flags;
};
constexpr OverlayRow kOverlayRows[11] = {
    {4, 0, 204, 0.75f, 0x6060FF, 0},    {183, 0, 204, 0.75f, 0x6060FF, 0},  {4, 10, 201, 0.9f, 0x40FF40, 4},
    {183, 10, 201, 0.9f, 0x40FF40, 4},  {313, 16, 206, 0.9f, 0x40A040, 4},  {370, 0, 204, 0.75f, 0x6060FF, 0},
    {370, 19, 204, 0.75f, 0x6060FF, 0}, {370, 8, 205, 0.64f, 0xFFFF20, 4},  {370, 19, 204, 0.75f, 0x40A040, 4},
    {4, 28, 205, 0.64f, 0xFFFF20, 4},   {560, 28, 205, 0.64f, 0xFFFF20, 4},
};

std::string field(const PictureRecord& record, int offset, int size) {
  const char* p = reinterpret_cast<const char*>(record.header + offset);
  std::size_t n = 0;
  while (n < std::size_t(size - 1) && p[n] != '\0') ++n;
  return std::string(p, n);
}

} // namespace

std::vector<std::uint8_t> encodedTestPicture(int seed, bool standard576, int level) {
  recorder::RgbFrame frame;
  frame.resize(720, standard576 ? 576 : 486);
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x) {
      std::uint8_t* p = frame.pixel(x, y);
      p[0] = std::uint8_t((x + seed * 40) / 3);
      p[1] = std::uint8_t(y / 2 + ((x / 60 + y / 60 + seed) % 2) * 80);
      p[2] = std::uint8_t(((x / 90) * 37 + seed * 13) & 0xFF);
    }
  recorder::EncodeSettings settings;
  settings.standard576 = standard576;
  settings.level = level;
  std::unique_ptr<recorder::PayloadEncoder> encoder = recorder::makeWaveletEncoder();
  std::vector<std::uint8_t> payload;
  std::string error;
  if (!encoder || !encoder->encode(frame, settings, payload, error)) throw std::runtime_error("encoder: " + error);
  return payload;
}

void fillHeader(PictureRecord& record, int pictureNumber, bool standard576, int level) {
  std::memset(record.header, 0, sizeof record.header);
  record.setText(PictureRecord::kDateOffset, PictureRecord::kDateSize, "08.12.26");
  record.setText(PictureRecord::kTimeOffset, PictureRecord::kTimeSize, "12:34:56");
  record.setText(PictureRecord::kExtraText1Offset, PictureRecord::kExtraText1Size, "T1");
  record.setText(PictureRecord::kCameraOffset, PictureRecord::kCameraSize, "Entrance");
  record.setText(PictureRecord::kExtraText2Offset, PictureRecord::kExtraText2Size, "second text");
  record.setText(PictureRecord::kPictureNumberOffset, PictureRecord::kPictureNumberSize, std::to_string(pictureNumber));
  record.setText(PictureRecord::kExtraText3Offset, PictureRecord::kExtraText3Size, "X");
  record.setVideoStandard576(standard576);
  record.setResolutionLevel(level);
}

bool referenceFrame(const PictureRecord& record, const CLanguageTable& language, int clientWidth, int clientHeight,
                    ReferenceFrame& out) {
  const bool standard576 = record.isVideoStandard576();
  const int level = record.resolutionLevel();
  if (level < 0 || level > 4) return false;
  wavelet::FieldStreams fields;
  if (!wavelet::splitPicturePayload(record.data, std::uint32_t(record.length), fields)) return false;
  std::vector<std::uint8_t> decoded(720 * 576 * 3);
  wavelet::CWaveletDecoder decoder(720, standard576 ? 576 : 486);
  wavelet::DecodeSettings settings;
  settings.region.colEnd = wavelet::kColumnLimits[level];
  settings.levels = level;
  settings.setFields(fields);
  settings.output = decoded.data();
  settings.outputSize = decoded.size();
  const wavelet::DecodeReport report = decoder.Decode(settings);
  if (!report.ok()) return false;

  out.width = std::min(clientWidth, 768);
  out.height = std::min(clientHeight, 576);
  const int stride = kStride(out.width);
  out.bits.assign(std::size_t(stride) * out.height, 0);
  for (int i = 0; i < out.height; ++i)
    for (int j = 0; j < out.width; ++j) {
      const int sy = int(std::int64_t(i) * report.outHeight / out.height);
      const int sx = int(std::int64_t(j) * report.outWidth / out.width);
      std::memcpy(&out.bits[std::size_t(i) * stride + j * 3], &decoded[(std::size_t(sy) * report.outWidth + sx) * 3],
                  3);
    }

  return drawReferenceOverlay(out.bits.data(), out.width, out.height, record, language);
}

bool drawReferenceOverlay(std::uint8_t* bits, int width, int height, const PictureRecord& record,
                          const CLanguageTable& language) {
  // Drawn from the top of the bottom-up frame (vertical flip on).
  CPixkitLib lib;
  std::vector<std::uint8_t> scratch(16 * 16 * 3);
  if (!lib.Init(16, 16, 16, reinterpret_cast<char*>(scratch.data()), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 1,
                0))
    return false;
  lib.setNewDestination(width, height, width, reinterpret_cast<char*>(bits));
  unsigned long fonts[11];
  for (int i = 0; i < 11; ++i) {
    fonts[i] = lib.addFont(fontBlock(kOverlayRows[i].font));
    lib.setFontFixedMulti(fonts[i], kOverlayRows[i].multiplier);
  }
  const std::string texts[11] = {
      language.lookup("date"), language.lookup("time"),   field(record, 12, 16),      field(record, 28, 16),
      field(record, 44, 8),    language.lookup("camera"), language.lookup("picture"), field(record, 52, 32),
      field(record, 156, 8),   field(record, 84, 72),     field(record, 164, 2),
  };
  int x[11], y[11];
  for (int i = 0; i < 11; ++i) {
    x[i] = kOverlayRows[i].x + 40;
    y[i] = kOverlayRows[i].y + 1;
  }
  CPKRectangle label;
  lib.getTextSize(fonts[6], texts[6].c_str(), &label, 0);
  x[8] += label.right + 8;
  for (int i = 0; i < 11; ++i) lib.drawText(fonts[i], x[i] + 2, y[i] + 2, kOverlayRows[i].flags, 0, texts[i].c_str());
  for (int i = 0; i < 11; ++i)
    lib.drawText(fonts[i], x[i], y[i], kOverlayRows[i].flags, kOverlayRows[i].colour, texts[i].c_str());
  return true;
}

paint::SoftwareCanvas referenceWindow(const ReferenceFrame& frame, int windowWidth, int windowHeight) {
  paint::SoftwareCanvas canvas(windowWidth, windowHeight);
  const int stride = kStride(frame.width);
  const int destRows = windowHeight + 2;
  for (int k = 0; k < windowHeight; ++k) {
    const int pictureRow = gdiStretchSource(k, frame.height, destRows, true);
    const int memoryRow = frame.height - 1 - pictureRow;
    for (int c = 0; c < windowWidth; ++c) {
      const int column = gdiStretchSource(c, frame.width, windowWidth, false);
      std::memcpy(canvas.pixels() + (std::size_t(k) * windowWidth + c) * 3,
                  &frame.bits[std::size_t(memoryRow) * stride + column * 3], 3);
    }
  }
  return canvas;
}

paint::SoftwareCanvas referenceStatusScreen(const char* text, int windowWidth, int windowHeight) {
  paint::SoftwareCanvas canvas(windowWidth, windowHeight);
  canvas.fillSolid({0, 0, windowWidth, windowHeight}, 0xDC5050);
  // The text is drawn into a top-down buffer of the window's size first, on the blue.
  std::vector<std::uint8_t> box(std::size_t(kStride(windowWidth)) * windowHeight);
  for (int row = 0; row < windowHeight; ++row)
    for (int column = 0; column < windowWidth; ++column) {
      std::uint8_t* p = &box[std::size_t(row) * kStride(windowWidth) + column * 3];
      p[0] = 220;
      p[1] = 80;
      p[2] = 80;
    }
  CPixkitLib lib;
  if (!lib.Init(windowWidth, windowHeight, windowWidth, reinterpret_cast<char*>(box.data()), PKLIB_DEST_RGB24, 0xFF0000,
                0x00FF00, 0x0000FF, 0, 0))
    return canvas;
  lib.setNewDestination(windowWidth, windowHeight, windowWidth, reinterpret_cast<char*>(box.data())); // rows 4-aligned
  const unsigned long font = lib.addFont(fontBlock(202));
  CPKRectangle size;
  lib.getTextSize(font, " ", &size, 0);
  const int space = size.right;
  int line = size.bottom;
  // Greedy wrap: a word goes on the next line when it would reach within 10 pixels of the
  // right edge; a line feed starts a new line.
  int x = 10, y = 10, gap = 0;
  std::string word;
  auto place = [&]() {
    if (word.empty()) return;
    lib.getTextSize(font, word.c_str(), &size, 0);
    line = size.bottom;
    x += gap;
    if (x + size.right >= windowWidth - 10) {
      x = 10;
      y += line;
    }
    lib.drawText(font, x + 2, y + 2, 0, 0x000000, word.c_str());
    lib.drawText(font, x, y, 0, 0xFFFFFF, word.c_str());
    x += size.right;
    gap = space;
    word.clear();
  };
  for (const char* p = text ? text : "";; ++p) {
    if (*p == '\0' || *p == ' ' || *p == '\n') {
      place();
      if (*p == '\0') break;
      if (*p == '\n') {
        x = 10;
        y += line;
        gap = 0;
      }
    } else {
      word += *p;
    }
  }
  // Only the text box is copied from the buffer; outside it the window is plain blue, and
  // the box is blue wherever no text is. So copying every non-blue pixel is the same.
  for (int row = 0; row < windowHeight; ++row)
    for (int column = 0; column < windowWidth; ++column) {
      const std::uint8_t* p = &box[std::size_t(row) * kStride(windowWidth) + column * 3];
      std::memcpy(canvas.pixels() + (std::size_t(row) * windowWidth + column) * 3, p, 3);
    }
  return canvas;
}

} // namespace testsupport
