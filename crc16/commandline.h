#pragma once

#include <QString>
#include <QStringList>

namespace crccalc {

// What the program does for its command-line arguments (the program name excluded):
// none opens the window; "--help" prints the usage; hex bytes print their CRC. "--lang zh|en"
// (or "--lang=zh|en") chooses the window's language and may come with either.
struct CommandLineOutcome
{
    bool openWindow = false;
    int exitCode = 0;
    QString out;      // for standard output
    QString err;      // for standard error
    QString language; // the value of --lang ("zh" or "en"), empty when not given
    // Refused for an option crc16 does not know, which may be one of Qt's own (-platform).
    bool unknownOption = false;
};

// Exit status for arguments that cannot be used.
inline constexpr int badArgumentsExitCode = 2;

CommandLineOutcome runCommandLine(const QStringList &arguments);

QString usageText();

} // namespace crccalc
