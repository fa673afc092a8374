#include "platform/common/LanguageName.h"

#include "platform/Language.h"

namespace platform::detail {

namespace {
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

int languageFromName(const char* name) {
  if (name == nullptr || name[0] == '\0') return 0;
  // Locale names start with the ISO 639 code ("de_AT.UTF-8", "de").
  if (lowerAscii(name[0]) == 'd' && lowerAscii(name[1]) == 'e') return kLanguageGerman;
  return kLanguageEnglish;
}

} // namespace platform::detail
