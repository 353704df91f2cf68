#include "settings/autostart.h"

#include "settings/atomicwrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QCoreApplication>

#include <algorithm>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace settings {

AutoStart::~AutoStart() = default;

QString DesktopEntryExec(const QString &program)
{
    if (program.contains(u'='))
        return QString();
    // Inside the quotes, the quoting rule escapes " ` $ and \ with a backslash.
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    // The string rule is undone before the quoting rule: every backslash is doubled again, and
    // the characters that cannot stand in a value are escaped. "%" starts a field code.
    QString exec = QStringLiteral("\"");
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case u'\\':
            exec += QStringLiteral("\\\\");
            break;
        case u'\n':
            exec += QStringLiteral("\\n");
            break;
        case u'\t':
            exec += QStringLiteral("\\t");
            break;
        case u'\r':
            exec += QStringLiteral("\\r");
            break;
        case u'%':
            exec += QStringLiteral("%%");
            break;
        default:
            exec += c;
        }
    }
    return exec + u'"';
}

QString DesktopEntryCommand(const QString &program, const QString &configPath)
{
    const QString exec = program.isEmpty() ? QString() : DesktopEntryExec(program);
    if (exec.isEmpty() || configPath.isEmpty())
        return exec;
    const QString config = DesktopEntryExec(configPath);
    return config.isEmpty() ? QString() : exec + QStringLiteral(" --config ") + config;
}

namespace {

#if defined(Q_OS_WIN)

// A string value under the current user's Run key, named after the executable.
class RunKeyAutoStart : public AutoStart
{
public:
    RunKeyAutoStart()
        : run(QStringLiteral(
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
              QSettings::NativeFormat),
          name(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName())
    {}

    bool add(const QString &program) override
    {
        run.setValue(name, QStringLiteral("\"%1\"").arg(
                               QDir::toNativeSeparators(QFileInfo(program).absoluteFilePath())));
        run.sync();
        return run.status() == QSettings::NoError;
    }
    bool remove() override
    {
        run.remove(name);
        run.sync();
        return run.status() == QSettings::NoError;
    }
    bool isRegistered() const override { return run.contains(name); }

private:
    QSettings run;
    QString name;
};

#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)

// The XDG autostart entry of this user. It is this program's own when its Exec starts this
// program on this settings file; an entry made by another install or for another settings file
// is never removed.
class XdgAutoStart : public AutoStart
{
public:
    explicit XdgAutoStart(const QString &configPath)
        : configPath(configPath), program(QCoreApplication::applicationFilePath())
    {
        QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        // The base directory rules ignore a relative path.
        if (configHome.isEmpty() || QDir::isRelativePath(configHome))
            configHome = QDir::home().filePath(QStringLiteral(".config"));
        folder = QDir(configHome).filePath(QStringLiteral("autostart"));
        entry = QDir(folder).filePath(QStringLiteral("quorvane.desktop"));
    }

    bool add(const QString &program) override
    {
        const QString exec = command(program);
        if (exec.isEmpty() || !QDir().mkpath(folder))
            return false;
        this->program = program;
        const QString text = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Quorvane\n"
                                            "Exec=%1\n"
                                            "Terminal=false\n")
                                 .arg(exec);
        return WriteFileAtomically(entry, text.toUtf8());
    }
    bool remove() override
    {
        if (!isRegistered())
            return true; // missing, or another program's
        return QFile::remove(entry);
    }
    bool isRegistered() const override
    {
        QFile file(entry);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QString own = QStringLiteral("Exec=") + command(program);
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        return std::any_of(lines.cbegin(), lines.cend(),
                           [&own](const QString &line) { return line.trimmed() == own; });
    }

private:
    QString command(const QString &program) const
    {
        return program.isEmpty()
                   ? QString()
                   : DesktopEntryCommand(QFileInfo(program).absoluteFilePath(), configPath);
    }

    QString configPath;
    QString program; // the one this entry starts: this program until another is added
    QString folder;
    QString entry;
};

#else

// Where the desktop offers no log-on entry: nothing is registered.
class NoAutoStart : public AutoStart
{
public:
    bool add(const QString &) override { return false; }
    bool remove() override { return true; }
    bool isRegistered() const override { return false; }
};

#endif

} // namespace

std::unique_ptr<AutoStart> SystemAutoStart(const QString &configPath)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(configPath);
    return std::make_unique<RunKeyAutoStart>();
#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return std::make_unique<XdgAutoStart>(configPath);
#else
    Q_UNUSED(configPath);
    return std::make_unique<NoAutoStart>();
#endif
}

bool RecordingAutoStart::add(const QString &program)
{
    calls << QStringLiteral("add %1").arg(program);
    registered = true;
    return true;
}

bool RecordingAutoStart::remove()
{
    calls << QStringLiteral("remove");
    registered = false;
    return true;
}

} // namespace settings
