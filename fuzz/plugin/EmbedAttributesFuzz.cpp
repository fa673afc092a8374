// Arbitrary bytes as the attributes a page hands to NPP_New: the first byte is the count the
// browser passes (signed, so it may be negative or larger than the list), the rest are name,
// value, name, value ... separated by NUL bytes; a value of the single byte 0x01 is a null
// pointer. The host must come back terminated within its 256 bytes, and the numbers must
// agree with the C library's reading where that does not overflow.
#include "hosts/plugin/EmbedAttributes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void checkNumber(const std::string& text) {
  errno = 0;
  const long long expected = std::strtoll(text.c_str(), nullptr, 10);
  const int read = plugin::leadingNumber(text.c_str());
  if (errno == ERANGE || expected > INT_MAX || expected < INT_MIN) {
    const bool negative = text.find('-') != std::string::npos && expected <= 0;
    if (read != (negative ? INT_MIN : INT_MAX)) std::abort();
  } else if (read != expected) {
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int count = static_cast<std::int8_t>(data[0]);
  std::vector<std::string> texts;
  std::string current;
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      texts.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  texts.push_back(current);

  std::vector<const char*> names;
  std::vector<const char*> values;
  for (std::size_t i = 0; i + 1 < texts.size(); i += 2) {
    names.push_back(texts[i].c_str());
    values.push_back(texts[i + 1] == "\x01" ? nullptr : texts[i + 1].c_str());
    checkNumber(texts[i + 1]);
  }
  // The browser's count may exceed the arrays it passes only in a broken browser; the
  // arrays here are as long as the count says, padded with null entries.
  const std::size_t listed = count > 0 ? static_cast<std::size_t>(count) : 0;
  names.resize(std::max(names.size(), listed), nullptr);
  values.resize(std::max(values.size(), listed), nullptr);

  const plugin::EmbedSettings settings = plugin::readEmbedAttributes(count, names.data(), values.data());
  if (strnlen(settings.host, sizeof settings.host) >= sizeof settings.host) std::abort();
  return 0;
}
