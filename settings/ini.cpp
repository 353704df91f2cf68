#include "settings/ini.h"

// Placeholder until the store is built: nothing is stored, every read gives its default.

namespace settings {

QString ReadIni(const QString &, const QString &, const QString &, const QString &defaultValue)
{
    return defaultValue;
}

bool WriteIni(const QString &, const QString &, const QString &, const QString &)
{
    return false;
}

QString IniValue(const QByteArray &, const QString &, const QString &, const QString &defaultValue)
{
    return defaultValue;
}

QByteArray WithIniValue(const QByteArray &file, const QString &, const QString &, const QString &)
{
    return file;
}

} // namespace settings
