#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace settings {

// The entry that starts the program when the user logs on.
class AutoStart
{
public:
    virtual ~AutoStart();

    // Registers the program (program: the absolute path of the executable). False when the entry
    // could not be written.
    virtual bool add(const QString &program) = 0;
    // Removes the entry; removing a missing entry succeeds.
    virtual bool remove() = 0;
    virtual bool isRegistered() const = 0;
};

// The desktop's own log-on entry for this user: on Linux the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/quorvane.desktop (~/.config when the variable is unset), on
// Windows a value under HKCU's Run key named after the executable; elsewhere nothing can be
// registered and add() fails. configPath is the settings file the program was started with when
// it is not the default one: the Linux entry then starts the program with "--config PATH", and
// remove() there removes only an entry that starts this program on this settings file, so a
// start with another settings file leaves the entry of the usual one alone.
std::unique_ptr<AutoStart> SystemAutoStart(const QString &configPath = QString());

// program as the command of a desktop entry's Exec key: quoted, escaped for the quoting and
// the string rules, "%" doubled. Empty when the rules allow no such program path (one
// holding "=").
QString DesktopEntryExec(const QString &program);

// The whole Exec value: the program, and "--config" with configPath when one is given. Empty
// when either cannot be written.
QString DesktopEntryCommand(const QString &program, const QString &configPath);

// A stand-in for tests: records every call, registers nothing.
class RecordingAutoStart : public AutoStart
{
public:
    bool add(const QString &program) override;
    bool remove() override;
    bool isRegistered() const override { return registered; }

    QStringList calls; // "add PATH" or "remove", in order
    bool registered = false;
};

} // namespace settings
