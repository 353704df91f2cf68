#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace crccalc {

std::optional<Language> languageOfCode(const QString &code)
{
    if (code == QLatin1String("zh"))
        return Language::Chinese;
    if (code == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

Language languageOfLocale(const QString &localeName)
{
    const QString name = localeName.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX") ||
        name == QLatin1String("zh") || name.startsWith(QLatin1String("zh_")))
        return Language::Chinese;
    return Language::English;
}

Language chosenLanguage(const QString &option)
{
    if (const std::optional<Language> language = languageOfCode(option))
        return *language;
#if defined(Q_OS_WIN)
    return QLocale::system().language() == QLocale::Chinese ? Language::Chinese : Language::English;
#else
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return languageOfLocale(value);
    }
    return Language::Chinese;
#endif
}

namespace {

// Qt's own texts (the standard buttons, the edit menus, the file dialogs) in Chinese: beside the
// program, where the Windows zip has them, or where Qt's translations are installed (on Debian
// by qt6-translations-l10n). English needs none: it is Qt's own language.
void InstallQtChinese()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    for (const QString &folder : {QCoreApplication::applicationDirPath(),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
    delete translator;
}

} // namespace

bool installLanguage(Language language)
{
    if (language == Language::Chinese) {
        InstallQtChinese();
        return true;
    }
    // Built into the program (see crc16/CMakeLists.txt); it lives as long as the program.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/crc16_en.qm")))
        return false;
    return QCoreApplication::installTranslator(translator);
}

} // namespace crccalc
