#pragma once
// The system's default language, for choosing the built-in text column.

namespace platform {

constexpr int kLanguageGerman = 7;  // primary language id of German (LANG_GERMAN)
constexpr int kLanguageEnglish = 9; // primary language id of English (LANG_ENGLISH)

// Primary language id of the system's default language (GetSystemDefaultLangID & 0x3FF on
// Windows; on POSIX from LC_ALL, LC_MESSAGES or LANG: "de..." gives German, anything else
// English). The environment variable CAMVIEW_LANGUAGE=de|en overrides it on both (tests, demos).
// On POSIX the result is kLanguageGerman or kLanguageEnglish; on Windows any primary id.
int systemPrimaryLanguage();

} // namespace platform
