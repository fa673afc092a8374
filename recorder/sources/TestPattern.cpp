#include "recorder/sources/TestPattern.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "recorder/sources/PatternCanvas.h"

namespace recorder {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kFieldPeriodMs = 20; // the second field is a 50 Hz field later
// The viewer shows the first 696 of the 720 columns; texts and marks stay inside them.
constexpr int kVisibleWidth = 696;

// 75 % colour bars in the usual order.
constexpr Rgb kBars[] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                         {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {16, 16, 16}};

// A distinct, saturated colour per connection id so viewers of different ids differ.
Rgb idColour(int connectionId) {
  static constexpr Rgb kPalette[] = {{255, 64, 64}, {64, 200, 64}, {64, 128, 255}, {255, 200, 0},
                                     {255, 0, 200}, {0, 220, 220}, {255, 128, 0},  {160, 96, 255}};
  const unsigned index = static_cast<unsigned>(connectionId) % 8u;
  return kPalette[index];
}

// Position along a path that bounces between 0 and `span`, `speed` pixels per second.
int bounce(std::uint32_t timeMs, int span, int speed) {
  if (span <= 0) return 0;
  const long long travelled = static_cast<long long>(timeMs) * speed / 1000;
  const long long period = 2LL * span;
  const long long phase = travelled % period;
  return static_cast<int>(phase < span ? phase : period - phase);
}

void drawZonePlate(RgbFrame& frame, int left, int top, int size) {
  // cos(k r^2): rings get finer towards the edge, so any scaling shows as moire.
  const double k = kPi / (2.0 * size);
  for (int y = 0; y < size; ++y) {
    const int py = top + y;
    if (py < 0 || py >= frame.height) continue;
    for (int x = 0; x < size; ++x) {
      const int px = left + x;
      if (px < 0 || px >= frame.width) continue;
      const double dx = x - size / 2.0, dy = y - size / 2.0;
      const double value = 0.5 + 0.5 * std::cos(k * (dx * dx + dy * dy));
      const auto grey = static_cast<std::uint8_t>(16 + 219 * value);
      std::uint8_t* p = frame.pixel(px, py);
      p[0] = p[1] = p[2] = grey;
    }
  }
}

void drawLinePairs(PatternCanvas& canvas, int left, int top, int height) {
  // Vertical line pairs of 1, 2 and 3 pixels, then horizontal one-line stripes that
  // belong to alternating fields.
  int x = left;
  for (int width = 1; width <= 3; ++width) {
    for (int i = 0; i < 12; ++i) canvas.fillRect(x + i * 2 * width, top, width, height, {235, 235, 235});
    x += 24 * width + 8;
  }
  for (int row = 0; row < height; row += 2) canvas.fillRect(x, top + row, 48, 1, {235, 235, 235});
}

void drawScene(PatternCanvas& canvas, RgbFrame& frame, const PictureContext& context, std::uint32_t timeMs) {
  const int w = frame.width, h = frame.height;
  const Rgb accent = idColour(context.connectionId);
  // A ball that bounces around the middle area.
  const int areaTop = h * 40 / 100, areaHeight = h * 42 / 100;
  const int radius = h / 14;
  const int ballX = radius + bounce(timeMs, w - 2 * radius, 230);
  const int ballY = areaTop + radius + bounce(timeMs, areaHeight - 2 * radius, 150);
  canvas.fillCircle(ballX, ballY, radius, accent);
  canvas.fillCircle(ballX - radius / 3, ballY - radius / 3, radius / 4, {255, 255, 255});
  // A hand that turns once every ten seconds around a dial.
  const int dialX = std::min(w, kVisibleWidth) - 70, dialY = areaTop + 60;
  const double angle = 2.0 * kPi * (timeMs % 10000) / 10000.0;
  for (int r = 0; r < 50; r += 2)
    canvas.fillRect(dialX + static_cast<int>(r * std::sin(angle)) - 2,
                    dialY - static_cast<int>(r * std::cos(angle)) - 2, 5, 5, {255, 255, 255});
  // A bar that sweeps the width every four seconds.
  const int sweepX = static_cast<int>((timeMs % 4000) * static_cast<std::uint32_t>(w) / 4000);
  canvas.fillRect(sweepX, h * 86 / 100, 12, h * 6 / 100, accent);
}

} // namespace

bool TestPattern::render(const PictureContext& context, RgbFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  const int w = frame.width, h = frame.height;
  PatternCanvas canvas(frame);
  const Rgb accent = idColour(context.connectionId);

  // Background: dark, tinted by the connection's colour.
  canvas.fillRect(0, 0, w, h,
                  {static_cast<std::uint8_t>(20 + accent.r / 10), static_cast<std::uint8_t>(20 + accent.g / 10),
                   static_cast<std::uint8_t>(28 + accent.b / 10)});
  // Colour bars and a 16-step grey ramp.
  const int barsHeight = h * 22 / 100;
  for (int i = 0; i < 8; ++i) canvas.fillRect(i * w / 8, 0, (i + 1) * w / 8 - i * w / 8, barsHeight, kBars[i]);
  const int rampTop = barsHeight, rampHeight = h * 5 / 100;
  for (int i = 0; i < 16; ++i) {
    const auto grey = static_cast<std::uint8_t>(i * 17);
    canvas.fillRect(i * w / 16, rampTop, (i + 1) * w / 16 - i * w / 16, rampHeight, {grey, grey, grey});
  }
  // A grid every 40 pixels over the lower part.
  const int gridTop = rampTop + rampHeight;
  for (int x = 0; x < w; x += 40) canvas.fillRect(x, gridTop, 1, h - gridTop, {70, 70, 80});
  for (int y = gridTop; y < h; y += 40) canvas.fillRect(0, y, w, 1, {70, 70, 80});

  // Fine detail in the upper middle.
  const int detailTop = gridTop + 8;
  drawZonePlate(frame, 8, detailTop, h * 20 / 100);
  drawLinePairs(canvas, h * 20 / 100 + 24, detailTop, h * 8 / 100);

  // Moving shapes: the second field shows the scene one field period later, as an
  // interlaced camera would, so fast motion combs when the fields are woven.
  if (context.interlaced) {
    canvas.setFieldMask(0);
    drawScene(canvas, frame, context, context.elapsedMs);
    canvas.setFieldMask(1);
    drawScene(canvas, frame, context, context.elapsedMs + kFieldPeriodMs);
    canvas.clearFieldMask();
  } else {
    drawScene(canvas, frame, context, context.elapsedMs);
  }

  // Texts: connection id and camera, the running clock, the picture number.
  char line[64];
  std::snprintf(line, sizeof line, "ID %d", context.connectionId);
  const int visible = std::min(w, kVisibleWidth);
  canvas.drawText(visible - PatternCanvas::textWidth(line, 4) - 16, detailTop + h * 10 / 100 + 4, line, 4, accent);
  canvas.drawText(h * 20 / 100 + 24, detailTop + h * 8 / 100 + 10, context.cameraName, 3, {255, 255, 255});

  const std::int64_t day = 24LL * 3600 * 1000;
  const std::int64_t ms = ((context.wallClockMs % day) + day) % day;
  std::snprintf(line, sizeof line, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  const int clockScale = 6;
  const int clockX = (visible - PatternCanvas::textWidth(line, clockScale)) / 2;
  const int clockY = h * 66 / 100;
  canvas.fillRect(clockX - 10, clockY - 10, PatternCanvas::textWidth(line, clockScale) + 14, 7 * clockScale + 20,
                  {0, 0, 0});
  canvas.drawText(clockX, clockY, line, clockScale, {255, 255, 255});

  std::snprintf(line, sizeof line, "PICTURE %llu", static_cast<unsigned long long>(context.pictureNumber + 1));
  canvas.drawText(16, h - 7 * 3 - 12, line, 3, {255, 255, 255});
  return true;
}

std::string TestPattern::describe(const PictureContext& context) const {
  return "test pattern, id " + std::to_string(context.connectionId);
}

} // namespace recorder
