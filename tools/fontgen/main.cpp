// camview-fontgen: renders the viewer's eight font blocks from DejaVu TrueType faces.
//
//   camview-fontgen --out resources/fonts [--faces /usr/share/fonts/truetype/dejavu]
//                   [--preview DIR]
//
// Writes font201.bin ... font208.bin, prints each block's metrics next to the wanted ones
// and fails (exit 1) when any metric misses. --preview also writes one PGM picture per
// block with all glyphs and some status texts, drawn from the written block.

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "tools/fontgen/BlockBuilder.h"
#include "tools/fontgen/BlockLayout.h"
#include "tools/fontgen/Cp1252.h"
#include "tools/fontgen/FontBlock.h"
#include "tools/fontgen/GlyphRenderer.h"
#include "tools/fontgen/Preview.h"

namespace {

using namespace fontgen;

struct Options {
  std::string outDir;
  std::string faceDir = "/usr/share/fonts/truetype/dejavu";
  std::string previewDir;
};

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--out")
      options.outDir = argv[i + 1];
    else if (name == "--faces")
      options.faceDir = argv[i + 1];
    else if (name == "--preview")
      options.previewDir = argv[i + 1];
    else
      return false;
  }
  return argc % 2 == 1 && !options.outDir.empty();
}

bool metricsMatch(const BlockLayout& layout, const BlockMetrics& m) {
  const int glyphs = layout.spacing == Spacing::Monospaced ? 100 : 216;
  return m.glyphsWithBitmap == glyphs && m.maxAdvance == layout.maxAdvance && m.lineHeight == layout.lineHeight &&
         m.spaceAdvance == layout.spaceAdvance && m.zeroWidth == layout.zero.width &&
         m.zeroAdvance == layout.zero.advance && m.zeroHeight == layout.zero.height && m.zeroTop == layout.zero.top;
}

void printRow(const char* label, int size, int glyphs, int maxAdvance, int lineHeight, int space, int w, int a, int h,
              int t) {
  std::printf("  %-9s %6d %4d %4d %4d %4d   %2d/%2d/%2d/%2d\n", label, size, glyphs, maxAdvance, lineHeight, space, w,
              a, h, t);
}

std::vector<std::string> previewLines(const BlockLayout& layout) {
  std::vector<std::string> lines;
  std::string row;
  for (int code = 33; code < 256; ++code) {
    const bool drawn =
        layout.spacing == Spacing::Monospaced ? isMonospacedGlyphCode(code) : isProportionalGlyphCode(code);
    if (!drawn) continue;
    row += static_cast<char>(code);
    if (row.size() == 36) lines.push_back(std::move(row)), row.clear();
  }
  if (!row.empty()) lines.push_back(row);
  lines.push_back("12:34:56  01.02.03  --:--:--");
  lines.push_back("Fehler w\xE4hrend der Initialisierung!");
  lines.push_back("Das Bild wurde \xFC"
                  "berschrieben! Die Spur wurde gel\xF6scht!");
  lines.push_back("Interner Ger\xE4tefehler! \xC4\xD6\xDC \xDF gjpqy");
  return lines;
}

bool generate(const Options& options) {
  bool allMatch = true;
  std::printf("block     size  glyphs max line space  '0' w/adv/h/top\n");
  for (const BlockLayout& layout : blockLayouts()) {
    GlyphRenderer renderer(options.faceDir + "/" + layout.faceFile);
    BlockBuilder builder(layout, renderer);
    const CharSize size = builder.chooseSize();
    const std::vector<std::uint8_t> bytes = encodeBlock(builder.build(size));
    const BlockMetrics m = measureBlock(bytes);

    std::printf("%d  %s, %.3f x %.3f px, vertical scale %.3f\n", layout.id, layout.faceFile, size.width64 / 64.0,
                size.height64 / 64.0, size.verticalScale);
    printRow("generated", m.size, m.glyphsWithBitmap, m.maxAdvance, m.lineHeight, m.spaceAdvance, m.zeroWidth,
             m.zeroAdvance, m.zeroHeight, m.zeroTop);
    printRow("wanted", layout.referenceSize, layout.spacing == Spacing::Monospaced ? 100 : 216, layout.maxAdvance,
             layout.lineHeight, layout.spaceAdvance, layout.zero.width, layout.zero.advance, layout.zero.height,
             layout.zero.top);
    if (!metricsMatch(layout, m)) {
      std::printf("  METRICS DIFFER\n");
      allMatch = false;
    }

    const std::string path = options.outDir + "/" + layout.fileName;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
    if (!options.previewDir.empty()) {
      writePreview(options.previewDir + "/font" + std::to_string(layout.id) + ".pgm", bytes, previewLines(layout));
    }
  }
  return allMatch;
}

} // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: camview-fontgen --out DIR [--faces DIR] [--preview DIR]\n");
    return 2;
  }
  try {
    return generate(options) ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "camview-fontgen: %s\n", error.what());
    return 1;
  }
}
