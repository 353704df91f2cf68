#pragma once

#include <QString>

namespace settings {

// Where Config.ini lives: overridePath (the --config option) when given, made absolute; else
// beside the executable when that folder is writable (a portable install); else in the
// per-user configuration folder, which is created when needed.
QString ConfigPath(const QString &overridePath, const QString &executableDir,
                   const QString &userConfigDir);

// The same for this program: its own folder and QStandardPaths::AppConfigLocation.
QString ConfigPath(const QString &overridePath = QString());

} // namespace settings
