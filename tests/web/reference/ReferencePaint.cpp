// camview-web-reference: what a Windows host paints for one picture, as the browser tests'
// reference. A viewer of the native build (its own Decoder thread, no recorder) takes the
// picture from its window slot, decodes it for a window of the given size and paints that
// window into a SoftwareCanvas, which stands in for the GDI of the plug-in and the control.
//
//   camview-web-reference (--picture FILE | --no-picture) --size WxH --language de|en --out FILE.rgba
//
// FILE holds the picture's 208-byte header followed by its compressed bytes; without a
// picture the window shows the status screen of a viewer that is connecting. The output is
// the window's pixels, RGBA, rows top-down: the layout a canvas's getImageData gives.
#include "engine/LanguageTable.h"
#include "engine/RunTag.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "platform/paint/SoftwareCanvas.h"
#include "presentation/ViewerMessages.h"
#include "tests/presentation/ViewerTestAccess.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kDecodeTimeoutMs = 20000;

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return bool(file) || file.eof();
}

int fail(const std::string& message) {
  std::cerr << "camview-web-reference: " << message << "\n";
  return 1;
}

// Says what went wrong; false, for the helpers below.
bool report(const std::string& message) {
  fail(message);
  return false;
}

// Parks the picture in the viewer's window slot as the Receiver thread would and pumps the
// window until the Decoder thread has drawn it for a window of width x height.
bool decodePicture(CViewer& viewer, platform::MessageWindow& window, const std::vector<std::uint8_t>& picture,
                   int width, int height) {
  PictureRecord& slot = ViewerTestAccess::connection(viewer).windowSlot[0];
  const auto bodyLength = static_cast<std::int32_t>(picture.size() - PictureRecord::kHeaderSize);
  if (!slot.reserve(bodyLength)) return report("no memory");
  std::memcpy(slot.header, picture.data(), PictureRecord::kHeaderSize);
  std::memcpy(slot.data, picture.data() + PictureRecord::kHeaderSize, std::size_t(bodyLength));
  slot.length = bodyLength;
  slot.receivedTick = platform::tickCount() | 1;
  slot.valid.store(true, std::memory_order_release);
  // Tagged with the viewer's run, as the Receiver thread posts it: others are not acted on.
  platform::postMessage(window.handle(), platform::kMsgPictureWaiting, runtag::tag(viewer.run(), 0), 0);

  const ViewerHostWindow host{window.handle(), width, height, false};
  bool decoded = false;
  const std::uint32_t start = platform::tickCount();
  while (!decoded && platform::tickCount() - start < kDecodeTimeoutMs) {
    window.pump(
        [&](const platform::WindowMessage& message) {
          dispatchViewerMessage(viewer, message, host);
          if (message.message == platform::kMsgFrameDecoded) decoded = true;
        },
        50);
  }
  if (!decoded) return report("the picture was not decoded in time");
  if (!viewer.framePipeline().frameReady(viewer.showIndex())) return report("the picture failed to decode");
  return true;
}

} // namespace

int main(int argc, char** argv) {
  std::string picturePath, outPath, language = "en";
  int width = 0, height = 0;
  bool withPicture = true;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--no-picture") {
      withPicture = false;
      continue;
    }
    if (i + 1 >= argc) return fail(option + " needs a value");
    const std::string value = argv[++i];
    if (option == "--picture")
      picturePath = value;
    else if (option == "--out")
      outPath = value;
    else if (option == "--language")
      language = value;
    else if (option == "--size" && std::sscanf(value.c_str(), "%dx%d", &width, &height) == 2)
      continue;
    else
      return fail("unknown option " + option);
  }
  std::vector<std::uint8_t> picture;
  if ((withPicture == picturePath.empty()) || outPath.empty() || width <= 0 || height <= 0 || width > 4096 ||
      height > 4096)
    return fail("usage: (--picture FILE | --no-picture) --size WxH --language de|en --out FILE.rgba");
  if (withPicture && (!readFile(picturePath, picture) || picture.size() < std::size_t(PictureRecord::kHeaderSize)))
    return fail("cannot read a picture from " + picturePath);

  platform::MessageWindow window;
  CViewer viewer(language == "de" ? CLanguageTable::kGerman : CLanguageTable::kEnglish);
  viewer.attachWindow(window.handle()); // port -1: the viewer never connects
  if (!viewer.start()) return fail("the viewer did not start");

  if (withPicture && !decodePicture(viewer, window, picture, width, height)) return 1;
  paint::SoftwareCanvas canvas(width, height);
  viewer.paint(canvas, {0, 0, width, height});
  std::vector<std::uint8_t> rgba(std::size_t(width) * height * 4);
  for (std::size_t i = 0, pixels = std::size_t(width) * height; i < pixels; ++i) {
    rgba[i * 4 + 0] = canvas.pixels()[i * 3 + 2];
    rgba[i * 4 + 1] = canvas.pixels()[i * 3 + 1];
    rgba[i * 4 + 2] = canvas.pixels()[i * 3 + 0];
    rgba[i * 4 + 3] = 255;
  }
  std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(rgba.data()), std::streamsize(rgba.size()));
  return out ? 0 : fail("cannot write " + outPath);
}
