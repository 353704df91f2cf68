#pragma once

#include <QString>
#include <QStringList>

namespace crccalc {

// What the program does for its command-line arguments (the program name excluded):
// none opens the window; "--help" prints the usage; hex bytes print their CRC.
struct CommandLineOutcome
{
    bool openWindow = false;
    int exitCode = 0;
    QString out; // for standard output
    QString err; // for standard error
};

// Exit status for arguments that cannot be used.
inline constexpr int badArgumentsExitCode = 2;

CommandLineOutcome runCommandLine(const QStringList &arguments);

QString usageText();

} // namespace crccalc
