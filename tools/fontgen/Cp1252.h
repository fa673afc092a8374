#pragma once

// Windows-1252 helpers: the font blocks index their glyphs by Windows-1252 byte values.

namespace fontgen {

// Unicode code point of a Windows-1252 byte; 0 for the five codes the code page leaves undefined.
char32_t cp1252ToUnicode(int code);

// The codes that carry a bitmap in a proportional block: every printable Windows-1252
// character except the no-break space.
bool isProportionalGlyphCode(int code);

// The codes that carry a bitmap in a monospaced block: digits, letters, the usual
// punctuation and a few symbols and accented letters.
bool isMonospacedGlyphCode(int code);

} // namespace fontgen
