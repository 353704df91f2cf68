#include "settings/location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace settings {

namespace {

const QString FileName = QStringLiteral("Config.ini");

} // namespace

QString ConfigPath(const QString &overridePath, const QString &executableDir,
                   const QString &userConfigDir)
{
    if (!overridePath.isEmpty())
        return QFileInfo(overridePath).absoluteFilePath();
    const QFileInfo beside(executableDir);
    if (!executableDir.isEmpty() && beside.isDir() && beside.isWritable())
        return QDir(beside.absoluteFilePath()).filePath(FileName);
    QDir().mkpath(userConfigDir);
    return QDir(QFileInfo(userConfigDir).absoluteFilePath()).filePath(FileName);
}

QString ConfigPath(const QString &overridePath)
{
    return ConfigPath(overridePath, QCoreApplication::applicationDirPath(),
                      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

} // namespace settings
