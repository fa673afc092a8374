// Drawing benchmarks of the 2D library on a 720 x 576 frame. Every benchmark reports the
// allocations made per iteration ("allocs"), counted by the counted allocation functions:
// drawing must not allocate.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "pixkit/PixkitLib.h"
#include "resources/fonts/EmbeddedFonts.h"
#include "tests/support/CountedAllocation.h"

namespace {

constexpr int kFrameWidth = 720;
constexpr int kFrameHeight = 576;

unsigned char* fontBlock(int id) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  if (!embeddedFontBlock(id, &data, &size)) std::abort();
  return const_cast<unsigned char*>(data);
}

// Counts the allocations of the timed loop and reports them per iteration.
class AllocationCounter {
public:
  AllocationCounter() : start_(testsupport::allocationCount()) {}
  void report(benchmark::State& state) const {
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(testsupport::allocationCount() - start_),
                                                  benchmark::Counter::kAvgIterations);
  }

private:
  long start_;
};

// The on-screen display as the viewer draws it: library initialised on the 696 x 34 bar
// with the vertical flip, five fonts with their multipliers, eleven rows, then pointed at
// a bottom-up frame; shadows of all rows first, then the texts.
struct Overlay {
  struct Row {
    int x, y, slot;
    unsigned long colour;
    int flags;
    const char* text;
  };
  std::vector<char> bar = std::vector<char>(696 * 34 * 3);
  std::vector<char> frame = std::vector<char>(kFrameWidth * kFrameHeight * 3, 0x40);
  CPixkitLib lib;
  unsigned long fonts[5] = {};
  std::vector<Row> rows;

  Overlay() {
    lib.Init(696, 34, 696, bar.data(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 1, 0);
    const int ids[5] = {201, 206, 205, 204, 205};
    const float multipliers[5] = {0.9f, 0.9f, 0.64f, 0.75f, 0.75f};
    for (int i = 0; i < 5; ++i) {
      fonts[i] = lib.addFont(fontBlock(ids[i]));
      lib.setFontFixedMulti(fonts[i], multipliers[i]);
    }
    CPKRectangle label;
    lib.getTextSize(fonts[3], "Frame", &label, 0);
    const Row base[11] = {
        {4, 0, 3, 0x6060FF, 0, "Date"},       {183, 0, 3, 0x6060FF, 0, "Time"},
        {4, 10, 0, 0x40FF40, 4, "08.12.26"},  {183, 10, 0, 0x40FF40, 4, "01:23:45"},
        {313, 16, 1, 0x40A040, 4, "PAL"},     {370, 0, 3, 0x6060FF, 0, "Camera"},
        {370, 19, 3, 0x6060FF, 0, "Frame"},   {370, 8, 2, 0xFFFF20, 4, "Entrance north gate 2"},
        {370, 19, 3, 0x40A040, 4, "1234567"}, {4, 28, 2, 0xFFFF20, 4, "Motion detected in zone 3 (alarm input 2)"},
        {560, 28, 2, 0xFFFF20, 4, "A"},
    };
    for (int i = 0; i < 11; ++i) {
      Row r = base[i];
      r.x += 40 + (i == 8 ? label.right + 8 : 0);
      r.y += 1;
      rows.push_back(r);
    }
    lib.setNewDestination(kFrameWidth, kFrameHeight, kFrameWidth, frame.data());
  }

  void draw() {
    for (const Row& r : rows) lib.drawText(fonts[r.slot], r.x + 2, r.y + 2, r.flags, 0x000000, r.text);
    for (const Row& r : rows) lib.drawText(fonts[r.slot], r.x, r.y, r.flags, r.colour, r.text);
  }
};

void BM_OnScreenDisplay(benchmark::State& state) {
  Overlay overlay;
  AllocationCounter allocations;
  for (auto _ : state) {
    overlay.draw();
    benchmark::DoNotOptimize(overlay.frame.data());
  }
  allocations.report(state);
}
BENCHMARK(BM_OnScreenDisplay)->Unit(benchmark::kMicrosecond);

// A status message flowed into the status screen's box with a shadow (font 202).
void BM_WrappedStatusText(benchmark::State& state) {
  std::vector<char> frame(768 * 576 * 3);
  CPixkit kit;
  kit.Init(768, 576, 768, frame.data(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0);
  kit.setNewDestination(720, 576, 720, frame.data(), 4);
  const unsigned long font = kit.addFont(fontBlock(202), false);
  const char* text = "Die Verbindung zum Aufzeichnungsger\xE4t wurde unterbrochen. Es wird versucht, die "
                     "Verbindung wiederherzustellen.\nBitte pr\xFC"
                     "fen Sie die Netzwerkverbindung und die "
                     "Adresse des Ger\xE4ts.\tFehler 2004";
  const CPKRectangle box{10, 10, 400, 576};
  AllocationCounter allocations;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kit.fontTextOutput(font, &box, text, 0xFFFFFF, true, 0x000000));
  }
  allocations.report(state);
}
BENCHMARK(BM_WrappedStatusText)->Unit(benchmark::kMicrosecond);

struct Frame {
  std::vector<char> pixels = std::vector<char>(kFrameWidth * kFrameHeight * 3);
  CPixkit kit;
  CPKRectangle all{0, 0, kFrameWidth - 1, kFrameHeight - 1};
  Frame() {
    kit.Init(kFrameWidth, kFrameHeight, kFrameWidth, pixels.data(), PKLIB_DEST_RGB24, 0xFF0000, 0x00FF00, 0x0000FF, 1,
             4);
  }
};

void reportPixels(benchmark::State& state) {
  // items = pixels: the rate column reads as pixels per second.
  state.SetItemsProcessed(state.iterations() * kFrameWidth * kFrameHeight);
}

void BM_FillSolid(benchmark::State& state) {
  Frame f;
  AllocationCounter allocations;
  for (auto _ : state) {
    f.kit.paintFill(&f.all, 0x5050DC);
    benchmark::DoNotOptimize(f.pixels.data());
  }
  allocations.report(state);
  reportPixels(state);
}
BENCHMARK(BM_FillSolid)->Unit(benchmark::kMicrosecond);

void BM_FillAlpha(benchmark::State& state) {
  Frame f;
  AllocationCounter allocations;
  for (auto _ : state) {
    f.kit.paintFillAlpha(&f.all, 0x5050DC, 100);
    benchmark::DoNotOptimize(f.pixels.data());
  }
  allocations.report(state);
  reportPixels(state);
}
BENCHMARK(BM_FillAlpha)->Unit(benchmark::kMicrosecond);

void BM_FillGradient(benchmark::State& state) {
  Frame f;
  AllocationCounter allocations;
  for (auto _ : state) {
    f.kit.paintFillGradient(&f.all, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF);
    benchmark::DoNotOptimize(f.pixels.data());
  }
  allocations.report(state);
  reportPixels(state);
}
BENCHMARK(BM_FillGradient)->Unit(benchmark::kMicrosecond);

// Painting a run-length image and an icon the size of a quarter frame.
void BM_ImageAndIconPaint(benchmark::State& state) {
  Frame f;
  std::vector<unsigned char> source(360 * 288 * 3);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<unsigned char>((i / 3 / 40) * 50);
  const unsigned long image = f.kit.imageCreateFromMem(source.data(), 360, 288, 360 * 3, false);
  const unsigned long icon = f.kit.iconCreateFromMem(source.data(), 360, 288, 360 * 3, 0, 0, 255);
  AllocationCounter allocations;
  for (auto _ : state) {
    f.kit.imagePaint(image, 10, 10);
    f.kit.iconPaint(icon, 300, 200, 0xFFFF20);
    benchmark::DoNotOptimize(f.pixels.data());
  }
  allocations.report(state);
}
BENCHMARK(BM_ImageAndIconPaint)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
