#pragma once
// Reads the page element's attributes, as the browser hands them to NPP_New: "ip", "port"
// and "id" in any letter case; every other name ("src", "width", "height", the "PARAM"
// separator of <object>, unknown ones) is ignored. The arrays come from the page: any entry
// may be null, and the count is the browser's signed 16-bit number.
#include <cstddef>

namespace plugin {

struct EmbedSettings {
  static constexpr std::size_t kHostCapacity = 256; // 255 characters and the terminating NUL

  char host[kHostCapacity] = {}; // "ip": cut to 255 characters
  int port = -1;                 // "port": without it the viewer never connects
  int connectionId = 0;          // "id"
};

// Later attributes of the same name replace earlier ones. A negative count, null arrays and
// null names read as nothing; a null value leaves the setting as it was.
EmbedSettings readEmbedAttributes(int count, const char* const* names, const char* const* values);

// The number at the start of `text` as the C library's atoi reads it (leading blanks, a sign,
// decimal digits up to the first other character; 0 when there are none), but limited to
// the range of int instead of overflowing.
int leadingNumber(const char* text);

} // namespace plugin
