#include "tools/fontgen/Cp1252.h"

namespace fontgen {

namespace {

// Codes 128-159 are the only ones that differ from Latin-1.
constexpr char32_t kHighControlRange[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 128-135
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      // 136-143
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 144-151
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178, // 152-159
};

} // namespace

char32_t cp1252ToUnicode(int code) {
  if (code < 0 || code > 255) return 0;
  if (code >= 128 && code < 160) return kHighControlRange[code - 128];
  return static_cast<char32_t>(code);
}

bool isProportionalGlyphCode(int code) {
  if (code >= 33 && code <= 126) return true;
  if (code >= 161 && code <= 255) return true;
  if (code >= 128 && code <= 159) return cp1252ToUnicode(code) != 0;
  return false;
}

bool isMonospacedGlyphCode(int code) {
  if (code >= 33 && code <= 37) return true;  // '&' (38) is left out
  if (code >= 39 && code <= 93) return true;  // '^' (94) is left out
  if (code >= 95 && code <= 125) return true; // '~' (126) is left out
  switch (code) {
  case 153:
  case 162:
  case 164:
  case 170:
  case 174:
  case 192:
  case 207:
  case 213:
  case 244:
    return true;
  default:
    return false;
  }
}

} // namespace fontgen
