#include <gtest/gtest.h>

#include "EnvironmentVariable.h"
#include "platform/Language.h"

namespace {

using platform::kLanguageEnglish;
using platform::kLanguageGerman;
using platform::systemPrimaryLanguage;
using platform::test::ScopedEnvironmentVariable;

TEST(Language, OverrideChoosesGermanOrEnglish) {
  {
    ScopedEnvironmentVariable language("CAMVIEW_LANGUAGE", "de");
    EXPECT_EQ(systemPrimaryLanguage(), kLanguageGerman);
  }
  {
    ScopedEnvironmentVariable language("CAMVIEW_LANGUAGE", "DE_at");
    EXPECT_EQ(systemPrimaryLanguage(), kLanguageGerman);
  }
  {
    ScopedEnvironmentVariable language("CAMVIEW_LANGUAGE", "en");
    ScopedEnvironmentVariable all("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(systemPrimaryLanguage(), kLanguageEnglish);
  }
}

TEST(Language, SystemLanguageIsAPrimaryLanguageId) {
  ScopedEnvironmentVariable language("CAMVIEW_LANGUAGE", nullptr);
  int primary = systemPrimaryLanguage();
  EXPECT_GT(primary, 0);
  EXPECT_LE(primary, 0x3FF);
}

#ifndef _WIN32
// On POSIX the locale variables decide, in their usual precedence.
TEST(Language, LocaleVariablesInPrecedenceOrder) {
  ScopedEnvironmentVariable language("CAMVIEW_LANGUAGE", nullptr);
  ScopedEnvironmentVariable all("LC_ALL", nullptr);
  ScopedEnvironmentVariable messages("LC_MESSAGES", nullptr);
  ScopedEnvironmentVariable lang("LANG", nullptr);
  EXPECT_EQ(systemPrimaryLanguage(), kLanguageEnglish);

  ScopedEnvironmentVariable langGerman("LANG", "de_DE.UTF-8");
  EXPECT_EQ(systemPrimaryLanguage(), kLanguageGerman);
  {
    ScopedEnvironmentVariable messagesEnglish("LC_MESSAGES", "en_GB.UTF-8");
    EXPECT_EQ(systemPrimaryLanguage(), kLanguageEnglish);
    ScopedEnvironmentVariable allGerman("LC_ALL", "de_CH");
    EXPECT_EQ(systemPrimaryLanguage(), kLanguageGerman);
  }
  {
    ScopedEnvironmentVariable allEmpty("LC_ALL", ""); // empty counts as not set
    EXPECT_EQ(systemPrimaryLanguage(), kLanguageGerman);
    ScopedEnvironmentVariable allC("LC_ALL", "C");
    EXPECT_EQ(systemPrimaryLanguage(), kLanguageEnglish);
  }
}
#endif

} // namespace
