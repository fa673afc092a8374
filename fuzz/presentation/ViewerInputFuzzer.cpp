// libFuzzer target for what the viewer's presentation takes from the recorder: the 208-byte
// picture header (overlay texts, video standard, resolution level), the picture payload with
// its field-length word, the client size, and status texts of any length and content.
//
// Input layout: 2 bytes window width, 2 bytes window height (both mod 1100), 1 byte length of
// the status text (mod 256 x 8), the status text, 208 header bytes, the rest is the payload.
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
  if (size < 5) return 0;
  Fixture& f = fixture();
  const int width = (data[0] | data[1] << 8) % 1100;
  const int height = (data[2] | data[3] << 8) % 1100;
  std::size_t textLength = std::size_t(data[4]) * 8;
  data += 5;
  size -= 5;
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
  data += PictureRecord::kHeaderSize;
  size -= PictureRecord::kHeaderSize;
  f.record.reserve(std::int32_t(size) + 1);
  if (size > 0) std::memcpy(f.record.data, data, size);
  f.record.length = std::int32_t(size);
  f.record.clientWidth = width;
  f.record.clientHeight = height;
  f.pipeline.processPicture(f.record);
  return 0;
}
