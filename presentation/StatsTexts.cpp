#include "presentation/StatsTexts.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace presentation {

void copyText(char* destination, int size, const char* text) {
  if (size <= 0) return;
  int n = 0;
  if (text)
    while (n < size - 1 && text[n] != '\0') ++n;
  std::memcpy(destination, text ? text : "", n);
  destination[n] = '\0';
}

void StatsTexts::clear() {
  std::memset(stagedHeader_, 0, sizeof stagedHeader_);
  std::memset(header_, 0, sizeof header_);
  std::memset(rows_, 0, sizeof rows_);
  for (Label& label : stagedLabels_) label = Label{};
  for (Label& label : labels_) label = Label{};
  position_ = 0;
  stagedChanged_ = false;
}

void StatsTexts::setStatsHeader(const char* text) {
  copyText(stagedHeader_, kTextSize, text);
  stagedChanged_ = true;
}

void StatsTexts::setStatsLabel(int slot, int x, int y, const char* text) {
  if (slot < 0 || slot >= kLabels) return;
  Label& label = stagedLabels_[slot];
  label.x = x;
  label.y = y;
  copyText(label.text, kTextSize, text);
  stagedChanged_ = true;
}

void StatsTexts::publish() {
  if (!stagedChanged_) return;
  std::memcpy(header_, stagedHeader_, sizeof header_);
  std::memcpy(labels_, stagedLabels_, sizeof labels_);
  stagedChanged_ = false;
}

void StatsTexts::addStatsRow(const char* text) {
  copyText(rows_[position_], kTextSize, text);
  position_ = (position_ + 1) % kRows;
}

void formatStatsRow(const unsigned int timing[7], char* out) {
  int used = 0;
  out[0] = '\0';
  for (int word = 1; word <= 6; ++word) {
    const auto difference = static_cast<std::int32_t>(timing[word] - timing[0]);
    int written = std::snprintf(out + used, StatsTexts::kTextSize - used, "%4d  ", static_cast<int>(difference));
    if (written < 0 || written >= StatsTexts::kTextSize - used) break;
    used += written;
  }
}

void formatRates(int frames, long long bytes, unsigned int elapsedMs, RateTexts& out) {
  const float seconds = (elapsedMs == 0 ? 1u : elapsedMs) * 0.001f;
  const float framesPerSecond = frames / seconds;
  const double kibPerSecond = bytes * 0.0009765625 / seconds;
  std::snprintf(out.fps, sizeof out.fps, "FPS: %3.3f", framesPerSecond);
  std::snprintf(out.dps, sizeof out.dps, "DPS: %5.1f", kibPerSecond);
}

} // namespace presentation
