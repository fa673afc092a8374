#include "presentation/StatusLayout.h"

#include <algorithm>
#include <cstring>

namespace presentation {

void StatusLayout::layout(const char* text, int right, int bottom, TextMeasurer& measurer, int maxBoxWidth,
                          int maxBoxHeight) {
  count_ = 0;
  truncated_ = false;
  int spaceWidth = 0;
  int lineHeight = 0;
  measurer.measure(" ", spaceWidth, lineHeight);

  int x = kMargin;
  int y = kMargin;
  int pending = 0;
  int maxRight = 0;
  const char* p = text ? text : "";
  while (*p != '\0') {
    if (*p == ' ' || *p == '\n') {
      if (*p == '\n') {
        y += lineHeight;
        x = kMargin;
        pending = 0;
      }
      ++p;
      continue;
    }
    const char* start = p;
    while (*p != '\0' && *p != ' ' && *p != '\n') ++p;
    if (count_ == kMaxWords) {
      truncated_ = true;
      break;
    }
    StatusWord& word = words_[count_];
    int length = static_cast<int>(p - start);
    if (length > kMaxWordLength) {
      length = kMaxWordLength;
      truncated_ = true;
    }
    std::memcpy(word.text, start, length);
    word.text[length] = '\0';

    int width = 0;
    measurer.measure(word.text, width, lineHeight);
    x += pending;
    if (x + width >= right - kMargin) {
      y += lineHeight;
      x = kMargin;
    }
    word.x = x;
    word.y = y;
    ++count_;
    maxRight = std::max(maxRight, x + width);
    x += width;
    pending = spaceWidth;
  }

  int boxWidth = std::min({maxRight + 2, right, maxBoxWidth});
  int boxHeight = std::min({y + lineHeight + 2, bottom, maxBoxHeight});
  boxWidth = std::max(boxWidth, 0);
  boxHeight = std::max(boxHeight, 0);
  boxWidth_ = std::min((boxWidth + 3) & ~3, maxBoxWidth & ~3);
  boxHeight_ = boxHeight;
}

} // namespace presentation
