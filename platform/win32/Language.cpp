#include "platform/Language.h"

#include <windows.h>

#include <cstdlib>

#include "platform/common/LanguageName.h"

namespace platform {

int systemPrimaryLanguage() {
  if (int chosen = detail::languageFromName(std::getenv("CAMVIEW_LANGUAGE"))) return chosen;
  return PRIMARYLANGID(GetSystemDefaultLangID());
}

} // namespace platform
