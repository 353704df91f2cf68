#pragma once

#include <QString>
#include <QStringList>

namespace app {

// What the command line asks of the window.
struct StartOptions
{
    QStringList extraPorts; // --port PATH, in the order given
    bool demo = false;      // --demo: offer the virtual module and select it
    QString configPath;     // --config PATH: the settings file instead of Config.ini
    QString language;       // --lang zh|en: the window's language; empty: the stored or system's
};

// The result of reading the command line. When exit is set the program prints output (to
// standard output for --help and --version, to standard error for a mistake) and ends with
// exitCode instead of opening its window.
struct CommandLine
{
    StartOptions options;
    bool exit = false;
    int exitCode = 0;
    QString output;
};

// Reads the arguments (arguments[0] is the program). Knows --help, --version, --port PATH
// (repeatable), --demo, --config PATH and --lang zh|en.
CommandLine ParseCommandLine(const QStringList &arguments);

} // namespace app
