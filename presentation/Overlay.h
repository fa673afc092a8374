#pragma once
// The on-screen display written into every decoded frame: the labels "date", "time",
// "camera" and "picture" in the user's language beside the date, time, camera name, picture
// number and three further texts of the picture header; and, with diagnostics on, the
// statistics texts. Used by the Decoder thread once initialised.
#include "engine/LanguageTable.h"
#include "engine/PictureRecord.h"
#include "pixkit/PixkitLib.h"
#include "platform/paint/FontResource.h"
#include "presentation/FontIds.h"
#include "presentation/StatsTexts.h"

#include <cstdint>
#include <memory>

class Overlay {
public:
  static constexpr int kFontSlots = 5;
  static constexpr int kRows = 11;
  static constexpr int kBarWidth = 696;
  static constexpr int kBarHeight = 34;
  static constexpr int kOffsetX = 40; // every row moves right by this and down by 1
  static constexpr int kOffsetY = 1;

  struct Row {
    int x;
    int y;
    int fontSlot;
    std::uint32_t colour; // 0x00RRGGBB
    int flags;            // 0 proportional, PKTEXT_FIXED
  };

  Overlay();
  Overlay(const Overlay&) = delete;
  Overlay& operator=(const Overlay&) = delete;

  // Which module and resource numbers the fonts come from (before initOverlay).
  void setResources(paint::ModuleHandle module, const presentation::FontIds& ids);

  // Stores the language table, initialises the library on the bar surface, loads the five
  // fonts and computes the layout. False on the first failure (no memory included). Once it
  // has succeeded, a later call only takes the language table: the fonts are loaded once
  // per overlay, however often its viewer starts.
  bool initOverlay(CLanguageTable* language);

  // Decoder thread: the frame to draw into (width x height pixels, rows bottom-up and
  // 4-byte aligned; y counts from the picture's top) and the record whose texts are drawn.
  void setDestination(int width, int height, std::uint8_t* frame);
  void setRecord(const PictureRecord* record) { record_ = record; }

  // Draws the eleven texts, with a black shadow at (+2, +2) first when `shadow` is set.
  void drawOverlay(bool shadow);
  // Draws the statistics header, rows and labels.
  void drawStats();

  presentation::StatsTexts& stats() { return stats_; }
  const presentation::StatsTexts& stats() const { return stats_; }
  const Row& row(int i) const { return rows_[i]; }
  unsigned long font(int slot) const { return fonts_[slot]; }
  // Fonts held by the overlay's drawing library (5 once initialised).
  int loadedFonts() const { return lib_.core() ? lib_.core()->fontCount() : 0; }
  bool initialised() const { return initialised_; }

private:
  void gatherTexts(char texts[kRows][80]) const;
  // Row 8 (the picture number) starts 8 pixels behind the "picture" label.
  void placePictureNumber(const char* pictureLabel);

  std::unique_ptr<std::uint8_t[]> bar_; // 696 x 34 pixels, 24-bit; allocated by initOverlay
  unsigned long fonts_[kFontSlots] = {};
  CPixkitLib lib_;
  const PictureRecord* record_ = nullptr;
  CLanguageTable* language_ = nullptr;
  Row rows_[kRows];
  paint::ModuleHandle module_ = nullptr;
  presentation::FontIds fontIds_;
  presentation::StatsTexts stats_;
  bool initialised_ = false;
};

// Writes the overlay's placeholders into a header: date "--.--.--", time "--:--:--", the
// camera label with "%s    -", picture number "-", the other texts empty, the word at 8 and
// the byte at 196 zero.
void writeOverlayPlaceholders(PictureRecord& record, const CLanguageTable& language);
