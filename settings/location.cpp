#include "settings/location.h"

#include "settings/atomicwrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace settings {

namespace {

const QString FileName = QStringLiteral("Config.ini");

} // namespace

QString ConfigPath(const QString &overridePath, const QString &executableDir,
                   const QString &userConfigDir)
{
    if (!overridePath.isEmpty())
        return QFileInfo(overridePath).absoluteFilePath();
    if (!executableDir.isEmpty() && FolderTakesFiles(executableDir))
        return QDir(QFileInfo(executableDir).absoluteFilePath()).filePath(FileName);
    QDir().mkpath(userConfigDir);
    const QString userFile = QDir(QFileInfo(userConfigDir).absoluteFilePath()).filePath(FileName);
    if (!executableDir.isEmpty())
        StartUserFileFrom(QDir(executableDir).filePath(FileName), userFile);
    return userFile;
}

bool FolderTakesFiles(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("Config.ini.probe.XXXXXX")));
    return probe.open(); // removed again when probe goes
}

bool StartUserFileFrom(const QString &besideFile, const QString &userFile)
{
    if (QFileInfo::exists(userFile) || !QFileInfo(besideFile).isFile())
        return true;
    QFile beside(besideFile);
    if (!beside.open(QIODevice::ReadOnly))
        return false;
    // The bytes only: a file installed read-only must not make the user's copy read-only.
    return WriteFileAtomically(userFile, beside.readAll());
}

QString ConfigPath(const QString &overridePath)
{
    return ConfigPath(overridePath, QCoreApplication::applicationDirPath(),
                      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

} // namespace settings
