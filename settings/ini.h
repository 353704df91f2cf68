#pragma once

#include <QByteArray>
#include <QString>

namespace settings {

// Config.ini: sections of "key=value" lines. These two are the program's only access to the file.
//
// ReadIni gives the value of key in section, or defaultValue when the file, the section or the
// key is missing or cannot be read. WriteIni sets the value, keeping every other line of the
// file; it returns false when the file could not be written (the old file is then untouched).
QString ReadIni(const QString &path, const QString &section, const QString &key,
                const QString &defaultValue);
bool WriteIni(const QString &path, const QString &section, const QString &key,
              const QString &value);

// The same on the file's bytes, for the store and its tests: the value read from the text of a
// file, and the text of the file with one value set.
QString IniValue(const QByteArray &file, const QString &section, const QString &key,
                 const QString &defaultValue);
QByteArray WithIniValue(const QByteArray &file, const QString &section, const QString &key,
                        const QString &value);

} // namespace settings
