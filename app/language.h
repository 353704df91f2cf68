#pragma once

#include <QString>

#include <optional>

namespace app {

// The window's language. Its own texts are Chinese; English comes from a translation.
enum class Language { Chinese, English };

// "zh" and "en", as --lang takes them and Config.ini keeps them; nothing for any other text.
std::optional<Language> LanguageOfCode(const QString &code);
QString CodeOfLanguage(Language language);

// The language of a locale name as the system gives it ("zh_CN.UTF-8", "en_US", "C"): Chinese
// when it names Chinese or no language at all (empty, C, POSIX), English for any other.
Language LanguageOfLocale(const QString &localeName);
// The system's: the first of LC_ALL, LC_MESSAGES and LANG that is set (the user's interface
// language on Windows).
Language SystemLanguage();

// --lang first, then the choice kept in Config.ini, then the system's language.
Language ChosenLanguage(const QString &option, const QString &stored);

// Puts the English texts in place for QCoreApplication::translate (Chinese needs none). Returns
// false when the translation could not be loaded; the texts then stay Chinese.
bool InstallLanguage(Language language);

} // namespace app
