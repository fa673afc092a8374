#pragma once
// Which "FONTS" resources a viewer loads: the control's module numbers them 201 to 208, the
// plug-in's module carries the same blocks as 104 to 111.

namespace presentation {

struct FontIds {
  int statusFont;      // the status screen's font
  int overlayFonts[5]; // the on-screen display's font slots 0 to 4
};

constexpr FontIds kControlFontIds{202, {201, 206, 205, 204, 205}};
constexpr FontIds kPluginFontIds{105, {111, 109, 108, 107, 108}};

} // namespace presentation
