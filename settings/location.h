#pragma once

#include <QString>

namespace settings {

// Where Config.ini lives: overridePath (the --config option) when given, made absolute; else
// beside the executable when a file can be made in that folder (a portable install); else in the
// per-user configuration folder, which is created when needed. A per-user file that does not
// exist yet starts as a copy of the Config.ini beside the executable, when there is one (an
// install in a read-only folder with a file copied from another machine).
QString ConfigPath(const QString &overridePath, const QString &executableDir,
                   const QString &userConfigDir);

// Whether this process can make a file in folder, found by making one (with a name no other file
// has) and removing it again. Permission bits and attributes do not tell: on Windows a folder
// under Program Files shows no read-only mark yet refuses files to a user without administrator
// rights.
bool FolderTakesFiles(const QString &folder);

// Copies besideFile to userFile when userFile does not exist yet and besideFile does; false
// when a copy was wanted and failed.
bool StartUserFileFrom(const QString &besideFile, const QString &userFile);

// The same for this program: its own folder and QStandardPaths::AppConfigLocation.
QString ConfigPath(const QString &overridePath = QString());

} // namespace settings
