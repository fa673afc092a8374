// Every create operation under allocation failure: for each allocation it makes, a run in
// which exactly that allocation fails must return 0 (false) and leave nothing behind.
// Allocations fail on cue through the counted allocation functions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "pixkit/PKMemory.h"
#include "pixkit/Pixkit.h"
#include "pixkit/PixkitLib.h"
#include "tests/pixkit/BmpBuilder.h"
#include "tests/pixkit/FontBuilder.h"
#include "tests/support/CountedAllocation.h"

namespace {

constexpr unsigned long kR = 0xFF0000, kG = 0x00FF00, kB = 0x0000FF;

// Runs `create` with the first, second, ... allocation failing until it succeeds without
// a failure. Each failed run must report failure and leave the number of live blocks as
// it was (minus `consumed`, blocks handed to the library that it frees on failure).
// Returns the number of allocations of the successful run.
long exhaust(const std::function<bool()>& create, const std::function<void()>& prepare = {}, long consumed = 0) {
  for (long k = 0; k < 100; ++k) {
    if (prepare) prepare();
    const long aliveBefore = testsupport::blocksAlive();
    const long countBefore = testsupport::allocationCount();
    testsupport::failAllocation(k);
    const bool ok = create();
    testsupport::stopFailingAllocations();
    if (testsupport::allocationCount() - countBefore <= k) { // no allocation failed in this run
      EXPECT_TRUE(ok);
      return k;
    }
    EXPECT_FALSE(ok) << "allocation " << k << " failed but the operation reported success";
    EXPECT_EQ(testsupport::blocksAlive(), aliveBefore - consumed)
        << "allocation " << k << " failed and left blocks behind";
  }
  ADD_FAILURE() << "the operation never succeeded";
  return -1;
}

struct Fixture {
  std::vector<char> pixels = std::vector<char>(64 * 64 * 3);
  CPixkit kit;
  Fixture() { EXPECT_TRUE(kit.Init(64, 64, 64, pixels.data(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0)); }
};

TEST(AllocationFailure, InitOfFacadeAndCore) {
  std::vector<char> pixels(16 * 16 * 3);
  CPixkitLib lib;
  // Facade Init: the core, then the surface, then its colour table.
  EXPECT_GE(exhaust([&] {
              lib.close();
              return lib.Init(16, 16, 16, pixels.data(), PKLIB_DEST_RGB24, kR, kG, kB, 0, 0);
            }),
            3);
}

TEST(AllocationFailure, Fonts) {
  Fixture f;
  pixkit_test::FontBlockBuilder builder;
  builder.solid('x', 2, 2, 2, 0, 15);
  std::vector<std::uint8_t> block = builder.build();
  // Fill the table to its first capacity so that growth is among the allocations.
  for (int i = 0; i < 10; ++i) ASSERT_NE(f.kit.addFont(block.data(), false), 0u);
  const int before = f.kit.fontCount();
  const long steps = exhaust([&] { return f.kit.addFont(block.data(), false) != 0; });
  EXPECT_EQ(steps, 2); // font object, table growth
  EXPECT_EQ(f.kit.fontCount(), before + 1);

  // With own = true the block is the library's also when the call fails.
  unsigned char* owned = nullptr;
  exhaust([&] { return f.kit.addFontChecked(owned, block.size(), true) != 0; },
          [&] {
            owned = pkAllocBlock(block.size());
            std::memcpy(owned, block.data(), block.size());
          },
          1);
}

TEST(AllocationFailure, Icons) {
  Fixture f;
  const unsigned char pixels[] = {255, 255, 255, 0, 0, 0};
  exhaust([&] { return f.kit.iconCreateFromMem(pixels, 2, 1, 6, 0, 0, 255) != 0; });
  pixkit_test::BmpLayout layout;
  layout.width = 3;
  layout.height = 2;
  layout.bits = 4;
  layout.palette = {0, 0xFFFFFF};
  layout.pixels = {0, 1, 0, 1, 0, 1};
  const std::vector<std::uint8_t> bmp = pixkit_test::buildBmp(layout);
  // Temporary picture, alpha map, icon, (table): all failures clean.
  EXPECT_GE(exhaust([&] { return f.kit.iconCreateFromBmpMemChecked(false, bmp.data(), bmp.size(), 0, 0, 255) != 0; }),
            3);
}

TEST(AllocationFailure, ImagesAndAnimations) {
  Fixture f;
  std::vector<unsigned char> pixels(8 * 4 * 3, 0x80);
  // Block, histogram, image object, (table).
  EXPECT_GE(exhaust([&] { return f.kit.imageCreateFromMem(pixels.data(), 8, 4, 24, false) != 0; }), 3);
  const unsigned long image = f.kit.imageCreateFromMem(pixels.data(), 8, 4, 24, false);
  const unsigned long frames[] = {image, image};
  EXPECT_GE(exhaust([&] { return f.kit.animCreate(frames, 2) != 0; }), 2);

  // animAdd: the container (with its magic) is the library's also when the call fails.
  const unsigned long made = f.kit.animCreate(frames, 2);
  ASSERT_NE(made, 0u);
  const unsigned char* block = f.kit.imageBlock(image);
  const std::size_t blockSize = block[12] | (block[13] << 8);
  std::vector<std::uint8_t> bytes(12 + blockSize);
  const unsigned char head[12] = {'A', 'N', 'R', 'L', 1, 0, 0, 0, 12, 0, 0, 0};
  std::memcpy(bytes.data(), head, sizeof head);
  std::memcpy(bytes.data() + 12, block, blockSize);
  unsigned char* container = nullptr;
  exhaust([&] { return f.kit.animAddChecked(container, bytes.size(), 0, 0) != 0; },
          [&] {
            container = pkAllocBlock(bytes.size());
            std::memcpy(container, bytes.data(), bytes.size());
          },
          1);
}

} // namespace
