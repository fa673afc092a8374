#pragma once
// Expected pictures for the presentation suites, computed apart from the viewer's own code:
// the decoder run directly, scaling by the quotient formula, the on-screen display drawn
// from its layout table with a library instance of the test's own, and the window blit by
// the stretch formula. Also encoded test pictures from the project's encoder.
#include "engine/LanguageTable.h"
#include "engine/PictureRecord.h"
#include "platform/paint/SoftwareCanvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A 720 x 576 (or 486) picture with gradients and edges, encoded by the project's encoder.
std::vector<std::uint8_t> encodedTestPicture(int seed, bool standard576 = true, int level = 0);

// Fills a header as a recorder would: texts, standard and level.
void fillHeader(PictureRecord& record, int pictureNumber, bool standard576 = true, int level = 0);

// The viewer's frame for `record` rendered for a window of clientWidth x clientHeight:
// frameWidth x frameHeight pixels, rows bottom-up and 4-byte aligned. False when the
// payload does not decode.
struct ReferenceFrame {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;
};
bool referenceFrame(const PictureRecord& record, const CLanguageTable& language, int clientWidth, int clientHeight,
                    ReferenceFrame& frame);

// Draws the on-screen display of `record` into a bottom-up frame of width x height pixels
// (rows 4-byte aligned), from the display's layout table.
bool drawReferenceOverlay(std::uint8_t* bits, int width, int height, const PictureRecord& record,
                          const CLanguageTable& language);

// What the window shows when that frame is painted into a window of the given size: the
// frame stretched over the window plus two rows, with the source pixels GDI picks.
paint::SoftwareCanvas referenceWindow(const ReferenceFrame& frame, int windowWidth, int windowHeight);

// The status screen for `text` in a window of the given size: a blue window with the
// word-wrapped text in white over a black shadow.
paint::SoftwareCanvas referenceStatusScreen(const char* text, int windowWidth, int windowHeight);

} // namespace testsupport
