#pragma once

#include <QString>

#include <optional>

namespace crccalc {

// The window's language. Its own texts are Chinese; English comes from a translation.
enum class Language { Chinese, English };

// "zh" and "en", as --lang takes them; nothing for any other text.
std::optional<Language> languageOfCode(const QString &code);

// The language of a locale name as the system gives it ("zh_CN.UTF-8", "en_US", "C"): Chinese
// when it names Chinese or no language at all (empty, C, POSIX), English for any other.
Language languageOfLocale(const QString &localeName);

// --lang when given, else the system's: the first of LC_ALL, LC_MESSAGES and LANG that is set
// (the user's interface language on Windows).
Language chosenLanguage(const QString &option);

// Puts the English texts in place for QCoreApplication::translate (Chinese needs none). Returns
// false when the translation could not be loaded; the texts then stay Chinese.
bool installLanguage(Language language);

} // namespace crccalc
