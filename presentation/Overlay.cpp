#include "presentation/Overlay.h"

#include "presentation/FrameLayout.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Base positions, font slots, colours and flags of the eleven rows; final positions add
// (40, 1) and move the picture number behind its label.
constexpr Overlay::Row kBaseRows[Overlay::kRows] = {
    {4, 0, 3, 0x6060FF, 0},               // label "date"
    {183, 0, 3, 0x6060FF, 0},             // label "time"
    {4, 10, 0, 0x40FF40, PKTEXT_FIXED},   // date
    {183, 10, 0, 0x40FF40, PKTEXT_FIXED}, // time
    {313, 16, 1, 0x40A040, PKTEXT_FIXED}, // text at 44
    {370, 0, 3, 0x6060FF, 0},             // label "camera"
    {370, 19, 3, 0x6060FF, 0},            // label "picture"
    {370, 8, 2, 0xFFFF20, PKTEXT_FIXED},  // camera
    {370, 19, 3, 0x40A040, PKTEXT_FIXED}, // picture number
    {4, 28, 2, 0xFFFF20, PKTEXT_FIXED},   // text at 84
    {560, 28, 2, 0xFFFF20, PKTEXT_FIXED}, // text at 164
};
constexpr int kPictureNumberRow = 8;

constexpr float kFixedMultipliers[Overlay::kFontSlots] = {0.9f, 0.9f, 0.64f, 0.75f, 0.75f};

constexpr int kStatsFontSlot = 2;
constexpr std::uint32_t kStatsHeaderColour = 0xFFFF00;
constexpr std::uint32_t kStatsRowColour = 0xFF0000;
constexpr std::uint32_t kStatsLabelColour = 0x00FF00;

// A header field as a NUL-terminated text of at most size - 1 characters: a field from the
// recorder need not hold its NUL.
void fieldText(const PictureRecord* record, int offset, int size, char* out) {
  if (!record) {
    out[0] = '\0';
    return;
  }
  std::string_view text = record->text(offset, size);
  std::size_t n = text.size() < std::size_t(size - 1) ? text.size() : std::size_t(size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

} // namespace

Overlay::Overlay() : fontIds_(presentation::kControlFontIds) {
  for (int i = 0; i < kRows; ++i) rows_[i] = kBaseRows[i];
}

void Overlay::setResources(paint::ModuleHandle module, const presentation::FontIds& ids) {
  module_ = module;
  fontIds_ = ids;
}

bool Overlay::initOverlay(CLanguageTable* language) {
  language_ = language;
  if (initialised_) return true;
  // A failed earlier attempt may have left fonts behind: start from an empty library.
  lib_.close();
  if (!bar_) bar_.reset(new (std::nothrow) std::uint8_t[std::size_t(kBarWidth) * kBarHeight * 3]());
  if (!bar_ || !lib_.Init(kBarWidth, kBarHeight, kBarWidth, reinterpret_cast<char*>(bar_.get()), PKLIB_DEST_RGB24,
                          0xFF0000, 0x00FF00, 0x0000FF, 1, 0))
    return false;
  for (int slot = 0; slot < kFontSlots; ++slot) {
    paint::ResourceBlock block;
    fonts_[slot] = 0;
    if (!paint::loadFontResource(module_, fontIds_.overlayFonts[slot], block)) return false;
    fonts_[slot] = lib_.core()->addFontChecked(const_cast<unsigned char*>(block.data), block.size, false);
    if (fonts_[slot] == 0) return false;
    lib_.setFontFixedMulti(fonts_[slot], kFixedMultipliers[slot]);
  }

  for (int i = 0; i < kRows; ++i) {
    rows_[i] = kBaseRows[i];
    rows_[i].x += kOffsetX;
    rows_[i].y += kOffsetY;
  }
  placePictureNumber(language_ ? language_->lookup("picture") : "");
  initialised_ = true;
  return true;
}

void Overlay::placePictureNumber(const char* pictureLabel) {
  const Row& numberRow = kBaseRows[kPictureNumberRow];
  CPKRectangle size;
  lib_.getTextSize(fonts_[numberRow.fontSlot], pictureLabel, &size, 0);
  rows_[kPictureNumberRow].x = numberRow.x + kOffsetX + size.right + 8;
}

void Overlay::setDestination(int width, int height, std::uint8_t* frame) {
  lib_.setNewDestination(width, height, width, reinterpret_cast<char*>(frame));
}

void Overlay::gatherTexts(char texts[kRows][80]) const {
  auto label = [this](const char* key) { return language_ ? language_->lookup(key) : ""; };
  presentation::copyText(texts[0], 80, label("date"));
  presentation::copyText(texts[1], 80, label("time"));
  fieldText(record_, PictureRecord::kDateOffset, PictureRecord::kDateSize, texts[2]);
  fieldText(record_, PictureRecord::kTimeOffset, PictureRecord::kTimeSize, texts[3]);
  fieldText(record_, PictureRecord::kExtraText1Offset, PictureRecord::kExtraText1Size, texts[4]);
  presentation::copyText(texts[5], 80, label("camera"));
  presentation::copyText(texts[6], 80, label("picture"));
  fieldText(record_, PictureRecord::kCameraOffset, PictureRecord::kCameraSize, texts[7]);
  fieldText(record_, PictureRecord::kPictureNumberOffset, PictureRecord::kPictureNumberSize, texts[8]);
  fieldText(record_, PictureRecord::kExtraText2Offset, PictureRecord::kExtraText2Size, texts[9]);
  fieldText(record_, PictureRecord::kExtraText3Offset, PictureRecord::kExtraText3Size, texts[10]);
}

void Overlay::drawOverlay(bool shadow) {
  if (!initialised_) return;
  char texts[kRows][80];
  gatherTexts(texts);
  // The number follows its label; a recorder's text table may change the label at any time.
  placePictureNumber(texts[6]);
  if (shadow)
    for (int i = 0; i < kRows; ++i)
      lib_.drawText(fonts_[rows_[i].fontSlot], rows_[i].x + 2, rows_[i].y + 2, rows_[i].flags, 0x000000, texts[i]);
  for (int i = 0; i < kRows; ++i)
    lib_.drawText(fonts_[rows_[i].fontSlot], rows_[i].x, rows_[i].y, rows_[i].flags, rows_[i].colour, texts[i]);
}

void Overlay::drawStats() {
  if (!initialised_) return;
  const unsigned long font = fonts_[kStatsFontSlot];
  CPKRectangle size;
  lib_.getTextSize(font, "X", &size, PKTEXT_FIXED);
  const int h = size.bottom;
  lib_.drawText(font, 10, h + 44, PKTEXT_FIXED, kStatsHeaderColour, stats_.header());
  for (int i = 0; i < presentation::StatsTexts::kRows; ++i)
    lib_.drawText(font, 10, 2 * h + 44 + i * (h + 2), PKTEXT_FIXED, kStatsRowColour, stats_.row(i));
  for (int slot = 0; slot < presentation::StatsTexts::kLabels; ++slot) {
    const presentation::StatsTexts::Label& label = stats_.label(slot);
    if (label.text[0] != '\0') lib_.drawText(font, label.x, label.y, PKTEXT_FIXED, kStatsLabelColour, label.text);
  }
}

void writeOverlayPlaceholders(PictureRecord& record, const CLanguageTable& language) {
  char camera[PictureRecord::kCameraSize];
  std::snprintf(camera, sizeof camera, "%s    -", language.lookup("camera"));
  record.setText(PictureRecord::kDateOffset, PictureRecord::kDateSize, "--.--.--");
  record.setText(PictureRecord::kTimeOffset, PictureRecord::kTimeSize, "--:--:--");
  record.setText(PictureRecord::kExtraText1Offset, PictureRecord::kExtraText1Size, "");
  record.setText(PictureRecord::kCameraOffset, PictureRecord::kCameraSize, camera);
  record.setText(PictureRecord::kExtraText2Offset, PictureRecord::kExtraText2Size, "");
  record.setText(PictureRecord::kPictureNumberOffset, PictureRecord::kPictureNumberSize, "-");
  record.setText(PictureRecord::kExtraText3Offset, PictureRecord::kExtraText3Size, "");
  record.setReservedWord(0);
  record.header[PictureRecord::kReservedByteOffset] = 0;
}
