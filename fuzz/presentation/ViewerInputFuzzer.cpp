// libFuzzer target for what the viewer's presentation takes from the recorder: the 208-byte
// picture header (overlay texts, video standard, resolution level), the picture payload with
// its field-length word, the client size, and status texts of any length and content.
//
// Input layout: 1 byte window width, 1 byte window height, 1 byte length of the status text
// (x 8), the status text, 208 header bytes, the rest is the payload. The window is small (0..99
// x 0..99, so that empty, narrow and scaled-down windows all occur; a picture of the two
// smallest resolution levels can fill it unscaled) and each run cheap under the sanitizers.
// The picture is decoded at the size its header gives (standard, resolution level); levels 0
// to 2 (720 x 576 down to 180 x 144, some 70 ms for the largest under the sanitizers) are read
// as the two smallest, 3 and 4. Width and height both 0xFF give the full-size path: the
// picture's level as it stands and the full 720 x 576 window (the status screen, whose layout
// caps its box whatever the window, stays small). The full-size seed is replayed by the suite,
// not fuzzed from: every mutation of it would cost the full 70 ms.
#include "engine/LanguageTable.h"
#include "engine/PictureRecord.h"
#include "platform/Window.h"
#include "platform/paint/SoftwareCanvas.h"
#include "presentation/FramePipeline.h"
#include "presentation/Viewer.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::uint8_t kFullSize = 0xFF;
constexpr int kSmallWindow = 100;

struct Fixture {
  CLanguageTable language{CLanguageTable::kEnglish};
  CFramePipeline pipeline;
  platform::MessageWindow window;
  std::unique_ptr<CViewer> viewer;
  PictureRecord record;

  Fixture() {
    pipeline.reset(&language);
    // The engine and the overlay are made by the thread's start; the thread is not needed.
    pipeline.startDecoderThread();
    pipeline.stopDecoderThread();
    viewer = std::make_unique<CViewer>(CLanguageTable::kEnglish);
    viewer->setPort(-1); // never connects
    viewer->attachWindow(window.handle());
    viewer->start();
  }
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  Fixture& f = fixture();
  const bool fullSize = data[0] == kFullSize && data[1] == kFullSize;
  const int width = data[0] % kSmallWindow;
  const int height = data[1] % kSmallWindow;
  std::size_t textLength = std::size_t(data[2]) * 8;
  data += 3;
  size -= 3;
  if (textLength > size) textLength = size;
  const std::string text(reinterpret_cast<const char*>(data), textLength);
  data += textLength;
  size -= textLength;

  // The status screen with the text, at the fuzzed window size.
  f.viewer->showStatusText(text.c_str(), false);
  paint::SoftwareCanvas canvas(width, height);
  f.viewer->paint(canvas, {0, 0, width, height});

  // One picture through the Decoder thread's work: decode, scale, overlay.
  if (size < PictureRecord::kHeaderSize) return 0;
  std::memcpy(f.record.header, data, PictureRecord::kHeaderSize);
  const std::int32_t level = f.record.resolutionLevel();
  if (!fullSize && level >= 0 && level < 3) f.record.setResolutionLevel(3 + level % 2);
  data += PictureRecord::kHeaderSize;
  size -= PictureRecord::kHeaderSize;
  f.record.reserve(std::int32_t(size) + 1);
  if (size > 0) std::memcpy(f.record.data, data, size);
  f.record.length = std::int32_t(size);
  f.record.clientWidth = fullSize ? 720 : width;
  f.record.clientHeight = fullSize ? 576 : height;
  f.pipeline.processPicture(f.record);
  return 0;
}
