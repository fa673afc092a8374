#pragma once
// Word wrap of the status screen's message: words placed from (10, 10), a new line when a
// word would reach within 10 pixels of the window's right edge, line feeds honoured, and
// the size of the text box that holds them.

namespace presentation {

// Measures a text in the status font: width and height in pixels.
class TextMeasurer {
public:
  virtual ~TextMeasurer() = default;
  virtual void measure(const char* text, int& width, int& height) = 0;
};

struct StatusWord {
  int x = 0;
  int y = 0;
  char text[256] = {};
};

class StatusLayout {
public:
  static constexpr int kMaxWords = 256;
  static constexpr int kMaxWordLength = 255; // longer words are cut
  static constexpr int kMargin = 10;

  // Lays out `text` (null: nothing) for a window whose right and bottom edges are given.
  // The box is limited to the window and to maxBoxWidth x maxBoxHeight (the buffer it is
  // drawn in), then its width is raised to a multiple of 4 (at most maxBoxWidth, itself a
  // multiple of 4). Words beyond kMaxWords are not laid out.
  void layout(const char* text, int right, int bottom, TextMeasurer& measurer, int maxBoxWidth, int maxBoxHeight);

  int wordCount() const { return count_; }
  const StatusWord& word(int i) const { return words_[i]; }
  int boxWidth() const { return boxWidth_; }
  int boxHeight() const { return boxHeight_; }
  bool truncated() const { return truncated_; }

private:
  StatusWord words_[kMaxWords];
  int count_ = 0;
  int boxWidth_ = 0;
  int boxHeight_ = 0;
  bool truncated_ = false;
};

} // namespace presentation
