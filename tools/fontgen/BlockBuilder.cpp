#include "tools/fontgen/BlockBuilder.h"

#include <functional>
#include <stdexcept>
#include <string>

#include "tools/fontgen/Cp1252.h"

namespace fontgen {

namespace {

constexpr long kSizeStep = 2; // 1/32 pixel

// Middle of the longest run of sizes in [from, to] that pass `fits`; 0 when none does.
long middleOfLongestRun(long from, long to, const std::function<bool(long)>& fits) {
  long bestStart = 0, bestLength = 0, runStart = 0, runLength = 0;
  for (long size = from; size <= to; size += kSizeStep) {
    if (fits(size)) {
      if (runLength == 0) runStart = size;
      ++runLength;
      if (runLength > bestLength) {
        bestLength = runLength;
        bestStart = runStart;
      }
    } else {
      runLength = 0;
    }
  }
  return bestLength == 0 ? 0 : bestStart + (bestLength / 2) * kSizeStep;
}

// Characters some faces draw as nothing, and what to draw instead.
char32_t fallbackFor(char32_t character) {
  switch (character) {
  case 0x00AD:
    return U'-'; // soft hyphen
  default:
    return 0;
  }
}

std::string describe(int id, const char* what) { return "block " + std::to_string(id) + ": " + what; }

} // namespace

BlockBuilder::BlockBuilder(const BlockLayout& layout, GlyphRenderer& renderer) : layout_(layout), renderer_(renderer) {}

bool BlockBuilder::hasBitmap(int code) const {
  return layout_.spacing == Spacing::Monospaced ? isMonospacedGlyphCode(code) : isProportionalGlyphCode(code);
}

int BlockBuilder::cellAdvance(int code) const { return code == '3' ? layout_.digitThreeAdvance : layout_.cellAdvance; }

LineBox BlockBuilder::lineBox() const {
  const int widest = layout_.spacing == Spacing::Monospaced ? layout_.cellAdvance : layout_.maxAdvance;
  return LineBox{layout_.baseline(), layout_.lineHeight, widest};
}

CharSize BlockBuilder::chooseSize() {
  const long digitHeight64 = static_cast<long>(layout_.zero.height) * 64;
  const int wantedAdvance = layout_.spacing == Spacing::Monospaced ? layout_.cellAdvance : layout_.zero.advance;
  // The probe box is far larger than the line, so the '0' is measured as the face draws
  // it, neither squeezed nor moved.
  constexpr int kRoom = 100;
  const LineBox probeBox{layout_.baseline() + kRoom, layout_.lineHeight + 2 * kRoom, 1 << 20};
  const int probeTop = layout_.zero.top + kRoom;

  double scale = 1.0;
  auto zeroFits = [&](long width, long height) {
    renderer_.setCharSize(width, height, scale);
    const auto zero = renderer_.render(U'0', probeBox);
    return zero && zero->image.height == layout_.zero.height && zero->image.top == probeTop;
  };
  auto heightFits = [&](long size) { return zeroFits(size, size); };
  long height = middleOfLongestRun(digitHeight64, digitHeight64 * 2, heightFits);
  if (height == 0) {
    scale = static_cast<double>(layout_.zero.height) / (layout_.zero.height + 1);
    height = middleOfLongestRun(digitHeight64, digitHeight64 * 2, heightFits);
  }
  if (height == 0) throw std::runtime_error(describe(layout_.id, "no size gives the digit height"));

  const long width = middleOfLongestRun(height / 3, height * 2, [&](long size) {
    if (!zeroFits(size, height)) return false;
    const auto zero = renderer_.render(U'0', probeBox);
    return zero->advance == wantedAdvance && zero->image.width <= layout_.zero.width;
  });
  if (width == 0) throw std::runtime_error(describe(layout_.id, "no width gives the digit advance"));
  return CharSize{width, height, scale};
}

GlyphEntry BlockBuilder::renderCode(int code) const {
  const char32_t character = cp1252ToUnicode(code);
  auto glyph = renderer_.render(character, lineBox());
  if ((!glyph || glyph->image.empty()) && fallbackFor(character) != 0) {
    glyph = renderer_.render(fallbackFor(character), lineBox());
  }
  if (!glyph || glyph->image.empty()) {
    throw std::runtime_error(describe(layout_.id, "the face has no visible glyph for code ") + std::to_string(code));
  }
  return GlyphEntry{glyph->advance, std::move(glyph->image)};
}

FontBlock BlockBuilder::build(const CharSize& size) {
  renderer_.setCharSize(size.width64, size.height64, size.verticalScale);
  FontBlock block;
  block.headerWord1 = layout_.headerWord1;
  for (int code = 0; code < kGlyphCount; ++code) {
    GlyphEntry& entry = block.glyphs[code];
    if (hasBitmap(code)) entry = renderCode(code);
    if (layout_.spacing == Spacing::Monospaced) {
      entry.advance = cellAdvance(code);
    } else if (code >= '0' && code <= '9') {
      entry.advance = layout_.zero.advance; // digits keep tabular widths
    } else if (code == ' ' || code == 160) {
      entry.advance = layout_.spaceAdvance;
    } else if (!hasBitmap(code)) {
      entry.advance = 0; // control and undefined codes
    }
  }
  block.glyphs['0'].image.padWidth(layout_.zero.width);
  if (block.glyphs['0'].image.width != layout_.zero.width) {
    throw std::runtime_error(describe(layout_.id, "digit '0' is wider than wanted"));
  }
  reachMaxAdvance(block);
  reachLineHeight(block);
  return block;
}

// The widest glyph defines the block's max advance; when the face's widest glyph is a
// little narrower, it gets the extra pixels as spacing.
void BlockBuilder::reachMaxAdvance(FontBlock& block) const {
  int widest = 0;
  for (int code = 0; code < kGlyphCount; ++code) {
    if (block.glyphs[code].advance > block.glyphs[widest].advance) widest = code;
  }
  if (block.glyphs[widest].advance < layout_.maxAdvance) block.glyphs[widest].advance = layout_.maxAdvance;
}

// The line height is the lowest bitmap bottom; when no glyph reaches the line's last row,
// the one reaching lowest gets blank rows below it.
void BlockBuilder::reachLineHeight(FontBlock& block) const {
  int lowest = -1;
  int lowestBottom = 0;
  for (int code = 0; code < kGlyphCount; ++code) {
    const GlyphImage& image = block.glyphs[code].image;
    if (!image.empty() && image.top + image.height > lowestBottom) {
      lowest = code;
      lowestBottom = image.top + image.height;
    }
  }
  if (lowest >= 0) block.glyphs[lowest].image.padBottom(layout_.lineHeight);
}

} // namespace fontgen
