// Images (5-6-5 encoding, mode 0 and 1) and animations ("ANRL" containers, stepping).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pixkit/PKAnim.h"
#include "base/LittleEndian.h"
#include "pixkit/PKImage.h"
#include "pixkit/PKMemory.h"
#include "pixkit/Pixkit.h"
#include "tests/pixkit/TestPicture.h"
#include "tests/support/GoldenImage.h"
#include "tests/pixkit/TestCanvas.h"

using pixkit_test::Canvas;
using pixkit_test::Picture;

namespace {

// A source picture of three bytes per pixel (first byte = red field), packed rows.
struct Source {
  int width, height;
  std::vector<std::uint8_t> bytes;
  Source(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 3) {}
  void set(int x, int y, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * width + x) * 3];
    p[0] = a;
    p[1] = b;
    p[2] = c;
  }
  // What a 24-bit surface shows for a pixel: the fields of its 5-6-5 index in the top
  // bits of red, green and blue.
  std::uint32_t shown(int x, int y) const {
    const std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * width + x) * 3];
    return ((p[0] & 0xF8u) << 16) | ((p[1] & 0xFCu) << 8) | (p[2] & 0xF8u);
  }
};

Source pattern(int w, int h, int colours) {
  Source s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int k = (x / 3 + y) % colours;
      s.set(x, y, static_cast<std::uint8_t>(k * 40), static_cast<std::uint8_t>(255 - k * 30),
            static_cast<std::uint8_t>(k * 8));
    }
  return s;
}

Picture expectedPaint(const Source& s, int canvasW, int canvasH, int x0, int y0, std::uint32_t fill = 0) {
  Picture p(canvasW, canvasH, fill);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (x + x0 >= 0 && x + x0 < canvasW && y + y0 >= 0 && y + y0 < canvasH) p.set(x + x0, y + y0, s.shown(x, y));
  return p;
}

unsigned long makeImage(CPixkit& kit, const Source& s, bool raw = false) {
  return kit.imageCreateFromMem(s.bytes.data(), s.width, s.height, s.width * 3, raw);
}

TEST(ImageEncoding, OneColourImageIsOnePaletteEntryAndOneRunPerRow) {
  Canvas c(1, 1);
  Source s(10, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x) s.set(x, y, 0xFF, 0x80, 0x10);
  const unsigned char* block = c.kit.imageBlock(makeImage(c.kit, s));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(pixkit::imageWidth(block), 10);
  EXPECT_EQ(pixkit::imageHeight(block), 2);
  EXPECT_EQ(pixkit::imageMode(block), 0);
  EXPECT_EQ(pixkit::imageSize(block), 24u);
  EXPECT_EQ(le::readU16(block + 16), 1);                             // n
  EXPECT_EQ(le::readU16(block + 18), (0xF8 << 8) | (0x80 << 3) | 2); // the 5-6-5 index
  EXPECT_EQ(le::readU16(block + 20), 18);                            // 9 << 1
  EXPECT_EQ(le::readU16(block + 22), 18);
}

TEST(ImageEncoding, FourColoursUseThreeIndexBits) {
  Canvas c(1, 1);
  // Three colours: b = 2. Pixels: blue 0, blue 8, then 18 pixels of blue 16.
  Source s(20, 1);
  s.set(1, 0, 0, 0, 8);
  for (int x = 2; x < 20; ++x) s.set(x, 0, 0, 0, 16);
  const unsigned char* block = c.kit.imageBlock(makeImage(c.kit, s));
  ASSERT_EQ(pixkit::imageMode(block), 0);
  EXPECT_EQ(le::readU16(block + 16), 3);
  EXPECT_EQ(le::readU16(block + 18 + 6 + 4), 2 | (17 << 2));
  // Four colours: b = 3 although 2 bits would hold the positions.
  s.set(2, 0, 0, 0, 24);
  block = c.kit.imageBlock(makeImage(c.kit, s));
  ASSERT_EQ(pixkit::imageMode(block), 0);
  EXPECT_EQ(le::readU16(block + 16), 4);
  const unsigned char* codes = block + 18 + 8;
  EXPECT_EQ(le::readU16(codes + 0), 0);             // position 0, length 1
  EXPECT_EQ(le::readU16(codes + 4), 3);             // blue 24 is position 3
  EXPECT_EQ(le::readU16(codes + 6), 2 | (16 << 3)); // position 2, length 17
  EXPECT_EQ(pixkit::imageSize(block), 16u + 2 + 8 + 8);
}

TEST(ImageEncoding, DistinctColoursThatDoNotFitAreStoredRaw) {
  Canvas c(1, 1);
  Source s(8, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) s.set(x, y, static_cast<std::uint8_t>(8 * x), static_cast<std::uint8_t>(4 * y), 0);
  const unsigned char* block = c.kit.imageBlock(makeImage(c.kit, s));
  EXPECT_EQ(pixkit::imageMode(block), 1);
  EXPECT_EQ(pixkit::imageSize(block), 16u + 2 * 32);
  EXPECT_EQ(le::readU16(block + 16 + 2 * 9), ((0x08 & 0xF8) << 8) | ((0x04 & 0xFC) << 3)); // pixel (1, 1)
  const unsigned char* raw = c.kit.imageBlock(makeImage(c.kit, pattern(6, 2, 1), true));
  EXPECT_EQ(pixkit::imageMode(raw), 1);
}

TEST(ImageEncoding, RunsAreCutAtTheLongestRunLength) {
  Canvas c(1, 1);
  Source s(40000, 1); // one colour: b = 1, longest run 32768
  const unsigned char* block = c.kit.imageBlock(makeImage(c.kit, s));
  ASSERT_EQ(pixkit::imageMode(block), 0);
  EXPECT_EQ(le::readU16(block + 20), 32767u << 1);
  EXPECT_EQ(le::readU16(block + 22), (40000u - 32768 - 1) << 1);
  EXPECT_TRUE(pixkit::isValidImageBlock(block, pixkit::imageSize(block)));
}

TEST(ImageEncoding, EmptyImagesAreRawHeadersOnly) {
  Canvas c(4, 4);
  const unsigned long tall = c.kit.imageCreateFromMem(nullptr, 0, INT_MAX, 0, false); // no rows walked
  ASSERT_NE(tall, 0u);
  EXPECT_EQ(pixkit::imageMode(c.kit.imageBlock(tall)), 1);
  EXPECT_EQ(pixkit::imageSize(c.kit.imageBlock(tall)), 16u);
  c.kit.imagePaint(tall, 0, 0);
  EXPECT_EQ(c.kit.imageCreateFromMem(nullptr, -1, 1, 0, false), 0u);
  EXPECT_EQ(c.kit.imageCreateFromMem(nullptr, 65536, 65536, 0, true), 0u); // beyond a block's size
}

TEST(ImagePaint, BothModesShowTheFiveSixFiveColours) {
  for (bool raw : {false, true}) {
    const Source s = pattern(13, 5, 4);
    Canvas c(20, 8, 0x0A0B0C);
    const unsigned long image = makeImage(c.kit, s, raw);
    ASSERT_EQ(pixkit::imageMode(c.kit.imageBlock(image)), raw ? 1 : 0);
    c.kit.imagePaint(image, 3, 2);
    EXPECT_TRUE(
        testsupport::sameImage(raw ? "image-raw" : "image-runs", c.picture, expectedPaint(s, 20, 8, 3, 2, 0x0A0B0C)));
    // Clipped on the left and at the bottom.
    Canvas d(20, 8, 0x0A0B0C);
    d.kit.imagePaint(image, -4, 5); // unknown to d: nothing happens
    EXPECT_TRUE(testsupport::sameImage("image-foreign", d.picture, Picture(20, 8, 0x0A0B0C)));
    const unsigned long own = makeImage(d.kit, s, raw);
    d.kit.imagePaint(own, -4, 5);
    EXPECT_TRUE(testsupport::sameImage(raw ? "image-raw-clipped" : "image-runs-clipped", d.picture,
                                       expectedPaint(s, 20, 8, -4, 5, 0x0A0B0C)));
    d.kit.imagePaint(own, INT_MAX - 2, INT_MIN + 1);
  }
}

// ---- animations ----

TEST(Animation, CreateStepAndPaint) {
  Canvas c(8, 4);
  const Source a = pattern(6, 3, 2), b = pattern(6, 3, 3);
  Source solid(6, 3);
  const unsigned long images[] = {makeImage(c.kit, a), makeImage(c.kit, b, true), makeImage(c.kit, solid)};
  const unsigned long anim = c.kit.animCreate(images, 3);
  ASSERT_NE(anim, 0u);
  EXPECT_EQ(c.kit.animGetCnt(anim), 3);
  EXPECT_EQ(c.kit.animGetPicture(anim), 0);
  c.kit.animSetPosition(anim, 1, 1);
  c.kit.animPaint(anim);
  EXPECT_TRUE(testsupport::sameImage("anim-frame0", c.picture, expectedPaint(a, 8, 4, 1, 1)));
  c.kit.animNextPicture(anim);
  c.kit.animPaint(anim);
  EXPECT_TRUE(testsupport::sameImage("anim-frame1", c.picture, expectedPaint(b, 8, 4, 1, 1)));
  c.kit.animNextPicture(anim);
  EXPECT_EQ(c.kit.animGetPicture(anim), 2);
  c.kit.animNextPicture(anim); // wraps
  EXPECT_EQ(c.kit.animGetPicture(anim), 0);
  EXPECT_FALSE(c.kit.animSetPicture(anim, 3));
  EXPECT_FALSE(c.kit.animSetPicture(anim, -1));
  EXPECT_EQ(c.kit.animGetPicture(anim), 0);
  EXPECT_TRUE(c.kit.animSetPicture(anim, 2));
  c.kit.animSetPosition(anim, 2, 0);
  c.kit.animPaint(anim);
  Picture expected = expectedPaint(b, 8, 4, 1, 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) expected.set(x + 2, y, 0);
  EXPECT_TRUE(testsupport::sameImage("anim-frame2", c.picture, expected));

  c.kit.animClose(anim); // the handle stays valid, without frames
  EXPECT_EQ(c.kit.animGetCnt(anim), 0);
  EXPECT_FALSE(c.kit.animSetPicture(anim, 0));
  c.kit.animNextPicture(anim);
  EXPECT_EQ(c.kit.animGetPicture(anim), 0);
  c.kit.animPaint(anim);
  EXPECT_TRUE(testsupport::sameImage("anim-closed", c.picture, expected));
}

TEST(Animation, CreateRejectsUnknownOrMismatchedImagesAndAcceptsZeroFrames) {
  Canvas c(4, 4);
  const unsigned long small = makeImage(c.kit, pattern(4, 2, 2));
  const unsigned long taller = makeImage(c.kit, pattern(4, 3, 2));
  const unsigned long pair[] = {small, taller};
  EXPECT_EQ(c.kit.animCreate(pair, 2), 0u);
  const unsigned long unknown[] = {small, small + 777};
  EXPECT_EQ(c.kit.animCreate(unknown, 2), 0u);
  EXPECT_EQ(c.kit.animCreate(nullptr, 1), 0u);
  EXPECT_EQ(c.kit.animCreate(pair, -1), 0u);
  const unsigned long empty = c.kit.animCreate(nullptr, 0);
  ASSERT_NE(empty, 0u);
  EXPECT_EQ(c.kit.animGetCnt(empty), 0);
  c.kit.animNextPicture(empty);
  EXPECT_EQ(c.kit.animGetPicture(empty), 0);
  c.kit.animPaint(empty);
  // A font handle or an icon handle is not an animation.
  const unsigned char white[] = {255, 255, 255};
  const unsigned long icon = c.kit.iconCreateFromMem(white, 1, 1, 3, 0, 0, 255);
  EXPECT_EQ(c.kit.animGetCnt(icon), 0);
  EXPECT_FALSE(c.kit.animSetPicture(icon, 0));
}

// A container assembled by hand from image blocks: "ANRL", count, offsets, blocks.
std::vector<std::uint8_t> container(const std::vector<const unsigned char*>& blocks) {
  std::vector<std::uint8_t> out = {'A', 'N', 'R', 'L', 0, 0, 0, 0};
  le::writeU32(out.data() + 4, static_cast<std::uint32_t>(blocks.size()));
  out.resize(8 + 4 * blocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    le::writeU32(out.data() + 8 + 4 * i, static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), blocks[i], blocks[i] + pixkit::imageSize(blocks[i]));
  }
  return out;
}

unsigned char* libraryCopy(const std::vector<std::uint8_t>& bytes) {
  unsigned char* block = pkAllocBlock(bytes.size());
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

TEST(Animation, AddTakesContainersWithTheMagic) {
  Canvas c(8, 4);
  const Source a = pattern(5, 2, 3), b = pattern(5, 2, 1);
  const std::vector<std::uint8_t> bytes =
      container({c.kit.imageBlock(makeImage(c.kit, a)), c.kit.imageBlock(makeImage(c.kit, b, true))});
  const unsigned long anim = c.kit.animAdd(libraryCopy(bytes), 2, 1);
  ASSERT_NE(anim, 0u);
  EXPECT_EQ(c.kit.animGetCnt(anim), 2);
  c.kit.animNextPicture(anim);
  c.kit.animPaint(anim);
  EXPECT_TRUE(testsupport::sameImage("anim-added", c.picture, expectedPaint(b, 8, 4, 2, 1)));

  // Fourth byte wrong: rejected and still the caller's (freed here; a double free
  // would show under ASan).
  unsigned char* wrong = libraryCopy(bytes);
  wrong[3] = 'X';
  EXPECT_EQ(c.kit.animAdd(wrong, 0, 0), 0u);
  EXPECT_EQ(c.kit.animAddChecked(wrong, bytes.size(), 0, 0), 0u);
  pkFreeBlock(wrong);
  // Magic with a count of 0: rejected and freed by the library (a leak would show).
  std::vector<std::uint8_t> none = bytes;
  le::writeU32(none.data() + 4, 0);
  EXPECT_EQ(c.kit.animAdd(libraryCopy(none), 0, 0), 0u);
  le::writeU32(none.data() + 4, 0x80000000u);
  EXPECT_EQ(c.kit.animAdd(libraryCopy(none), 0, 0), 0u);
  EXPECT_EQ(c.kit.animAdd(nullptr, 0, 0), 0u);

  const unsigned long checked = c.kit.animAddChecked(libraryCopy(bytes), bytes.size(), 0, 0);
  EXPECT_NE(checked, 0u);
  EXPECT_EQ(c.kit.animGetCnt(checked), 2);
}

TEST(Animation, CheckedContainersMustBeConsistent) {
  Canvas c(8, 4);
  const unsigned char* runs = c.kit.imageBlock(makeImage(c.kit, pattern(5, 2, 3)));
  const unsigned char* raw = c.kit.imageBlock(makeImage(c.kit, pattern(5, 2, 3), true));
  const std::vector<std::uint8_t> good = container({runs, raw, runs});
  ASSERT_TRUE(pixkit::isValidAnimContainer(good.data(), good.size()));
  // Every truncation is rejected (copies of exactly that size, for ASan).
  for (std::size_t size = 0; size < good.size(); ++size) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + size);
    ASSERT_FALSE(pixkit::isValidAnimContainer(cut.data(), cut.size())) << size;
  }
  const auto rejects = [&](auto change) {
    std::vector<std::uint8_t> bad = good;
    change(bad);
    return !pixkit::isValidAnimContainer(bad.data(), bad.size());
  };
  const std::size_t first = 8 + 12;                                                        // the first frame block
  EXPECT_TRUE(rejects([](auto& b) { le::writeU32(b.data() + 8, 0xFFFFFFF0u); }));          // offset negative
  EXPECT_TRUE(rejects([](auto& b) { le::writeU32(b.data() + 8, 4); }));                    // inside the table
  EXPECT_TRUE(rejects([](auto& b) { le::writeU32(b.data() + 4, 1000); }));                 // count beyond the data
  EXPECT_TRUE(rejects([&](auto& b) { le::writeU32(b.data() + first + 8, 2); }));           // unknown mode
  EXPECT_TRUE(rejects([&](auto& b) { le::writeU32(b.data() + first + 12, 100000); }));     // size beyond the data
  EXPECT_TRUE(rejects([&](auto& b) { le::writeU32(b.data() + first, 6); }));               // runs no longer cover rows
  EXPECT_TRUE(rejects([&](auto& b) { le::writeU16(b.data() + first + 16, 0); }));          // no palette
  EXPECT_TRUE(rejects([&](auto& b) { le::writeU16(b.data() + first + 16 + 8, 3); }));      // position 3 >= n
  EXPECT_TRUE(rejects([&](auto& b) { le::writeU16(b.data() + first + 16 + 8, 0xFFF0); })); // run past the row
  // Overlapping distinct blocks.
  EXPECT_TRUE(rejects([&](auto& b) { le::writeU32(b.data() + 12, static_cast<std::uint32_t>(first + 2)); }));
  // Frames may share one block.
  EXPECT_FALSE(rejects([&](auto& b) { le::writeU32(b.data() + 16, static_cast<std::uint32_t>(first)); }));
}

} // namespace
