// The viewer's German texts are Windows-1252 bytes with umlauts and ß; every character of
// them must have a glyph in the fonts that draw them, and the umlauts must be their own
// glyphs, not the bare letters.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fonts/FontBlockView.h"

namespace fonttest {
namespace {

// The German and English status texts (status screen, font 202).
const std::vector<std::string> kStatusTexts = {
    "Die Dekompression ist unerwartet gescheitert. Code:",
    "Interner Fehler!",
    "Die Kommunikation wurde vom Server beendet!",
    "Die Socketverbindung wurde wegen eines Fehlers beendet!",
    "Kein Speicher!",
    "Fehler w\xE4hrend der Initialisierung!",
    "Verbindungsaufbau...",
    "Die Verbindung wurde aufgebaut.",
    "Die Spur ist leer!",
    "Interner Ger\xE4tefehler!",
    "Bild konnte nicht gefunden werden!",
    "Die Spur wurde gel\xF6scht!",
    "Das Bild wurde \xFC"
    "berschrieben!",
    "Das erste Bild der Spur wurde erreicht!",
    "Das letzte Bild der Spur wurde erreicht!",
    "The decompression failed unexpected. Code:",
    "Communications closed by server!",
    "The socket connection was closed due to an error!",
    "Connecting...",
    "The track is empty!",
    "Picture could not be found!",
    "The picture has been overwritten!",
};

// Overlay labels (font 204) and the camera placeholder "%s    -" (font 205).
const std::vector<std::string> kLabels = {"Kamera", "Datum", "Zeit", "Bild", "Camera", "Date", "Time", "Frame"};

void expectGlyphForEveryCharacter(int fontId, const std::string& text) {
  const FontBlockView view = embeddedBlock(fontId);
  for (unsigned char code : text) {
    if (code == ' ') continue;
    const RawGlyph g = view.glyph(code);
    EXPECT_GT(g.height, 0) << "font " << fontId << ", code " << int(code) << " in \"" << text << "\"";
    EXPECT_GT(g.advance, 0) << "font " << fontId << ", code " << int(code) << " in \"" << text << "\"";
  }
}

TEST(StatusTextGlyphs, StatusScreenTextsHaveEveryGlyph) {
  for (const std::string& text : kStatusTexts) expectGlyphForEveryCharacter(202, text);
}

TEST(StatusTextGlyphs, OverlayLabelsAndCameraTextHaveEveryGlyph) {
  for (const std::string& label : kLabels) {
    expectGlyphForEveryCharacter(204, label);
    expectGlyphForEveryCharacter(205, label + "    -");
  }
}

TEST(StatusTextGlyphs, OverlayDateAndTimePlaceholdersHaveEveryGlyph) {
  for (int font : {201, 206}) {
    expectGlyphForEveryCharacter(font, "--.--.--");
    expectGlyphForEveryCharacter(font, "--:--:--");
    expectGlyphForEveryCharacter(font, "0123456789");
  }
}

// An umlaut has the dots above its letter: it starts higher than the bare letter.
TEST(StatusTextGlyphs, UmlautsCarryTheirDots) {
  const std::vector<std::pair<int, char>> pairs = {{0xE4, 'a'}, {0xF6, 'o'}, {0xFC, 'u'},
                                                   {0xC4, 'A'}, {0xD6, 'O'}, {0xDC, 'U'}};
  for (int font : {202, 203, 204, 205, 208}) {
    const FontBlockView view = embeddedBlock(font);
    for (const auto& [umlaut, letter] : pairs) {
      const RawGlyph withDots = view.glyph(umlaut);
      const RawGlyph bare = view.glyph(letter);
      EXPECT_LT(withDots.top, bare.top) << "font " << font << ", code " << umlaut;
      EXPECT_EQ(withDots.top + withDots.height, bare.top + bare.height) << "font " << font << ", code " << umlaut;
    }
  }
}

TEST(StatusTextGlyphs, SharpSIsItsOwnGlyph) {
  for (int font : {202, 203, 204, 205, 208}) {
    const FontBlockView view = embeddedBlock(font);
    const RawGlyph sharpS = view.glyph(0xDF);
    ASSERT_GT(sharpS.height, 0) << font;
    // ß rises to the ascender like 'b', unlike 's'.
    EXPECT_LT(sharpS.top, view.glyph('s').top) << font;
    EXPECT_NE(sharpS.bitmapOffset, view.glyph('B').bitmapOffset) << font;
  }
}

} // namespace
} // namespace fonttest
