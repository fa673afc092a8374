#pragma once
// The diagnostics texts drawn into decoded frames: a header line, a ring of the last sixteen
// picture rows and sixteen positioned labels.
//
// The header and the labels are written by the window thread, the rows by the Decoder
// thread, and everything is drawn by the Decoder thread. The window thread's texts are
// staged and handed over by `publish`, which the pipeline calls on the window thread only
// while the Decoder thread is idle (when a picture is offered). So the Decoder thread never
// sees a text while it is being written; a label appears with the next decoded frame.

namespace presentation {

class StatsTexts {
public:
  static constexpr int kTextSize = 128; // 127 characters and a NUL
  static constexpr int kRows = 16;
  static constexpr int kLabels = 16;

  struct Label {
    int x = 0;
    int y = 0;
    char text[kTextSize] = {};
  };

  StatsTexts() { clear(); }
  void clear();

  // Window thread.
  void setStatsHeader(const char* text);
  void setStatsLabel(int slot, int x, int y, const char* text); // slot outside 0..15: ignored
  // Window thread, Decoder thread idle: the staged header and labels become the drawn ones.
  void publish();

  // Decoder thread.
  void addStatsRow(const char* text);
  const char* header() const { return header_; }
  // Row i (0..15) from the oldest to the newest.
  const char* row(int i) const { return rows_[(position_ + i) % kRows]; }
  const Label& label(int slot) const { return labels_[slot]; }

private:
  char stagedHeader_[kTextSize];
  Label stagedLabels_[kLabels];
  bool stagedChanged_ = false;

  char header_[kTextSize];
  char rows_[kRows][kTextSize];
  int position_ = 0; // the oldest row, written next
  Label labels_[kLabels];
};

// Copies at most size - 1 characters of text (null: empty) and a NUL into destination.
void copyText(char* destination, int size, const char* text);

// The statistics row of one picture: for timing words 1 to 6 their difference to word 0 as
// a signed 32-bit number, each "%4d  ". `out` holds at least kTextSize characters.
void formatStatsRow(const unsigned int timing[7], char* out);

// The rate labels of one window of pictures: "FPS: %3.3f" and "DPS: %5.1f" (kibibytes per
// second). A window of 0 ms counts as 1 ms, so ten pictures within one tick give finite rates.
struct RateTexts {
  char fps[64];
  char dps[64];
};
void formatRates(int frames, long long bytes, unsigned int elapsedMs, RateTexts& out);

} // namespace presentation
