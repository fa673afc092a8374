#include "platform/Language.h"

#include <cstdlib>
#include <initializer_list>

#include "platform/common/LanguageName.h"

namespace platform {

int systemPrimaryLanguage() {
  if (int chosen = detail::languageFromName(std::getenv("CAMVIEW_LANGUAGE"))) return chosen;
  // The message language follows the usual POSIX precedence: the first variable set wins.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (int chosen = detail::languageFromName(std::getenv(variable))) return chosen;
  }
  return kLanguageEnglish;
}

} // namespace platform
