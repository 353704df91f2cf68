#include "holders.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <string_view>

#if defined(Q_OS_LINUX)
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace serial {

#if defined(Q_OS_LINUX)
namespace {

bool IsNumber(const char *text)
{
    if (!*text)
        return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

// The index N of a pseudo-terminal's terminal side /dev/pts/N, or -1 for any other device.
int PtyIndex(dev_t rdev)
{
    constexpr unsigned FirstMajor = 136; // the terminal sides of pseudo-terminals: 136..143
    constexpr unsigned MajorCount = 8;
    const unsigned major = ::major(rdev);
    if (major < FirstMajor || major >= FirstMajor + MajorCount)
        return -1;
    return int((major - FirstMajor) * 256 + ::minor(rdev));
}

// The pseudo-terminal index of a master descriptor, from the "tty-index" line the system shows
// in /proc/PID/fdinfo/FD; -1 for a descriptor that is no master.
int MasterIndex(const QByteArray &fdinfo)
{
    QFile file(QString::fromLocal8Bit(fdinfo));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("tty-index:")) {
            bool ok = false;
            const int index = line.mid(10).trimmed().toInt(&ok);
            return ok ? index : -1;
        }
    }
    return -1;
}

// Whether the process holds the device rdev open as a second user. Only descriptors that point
// into /dev are looked at more closely, so no file elsewhere is touched. A process that holds the
// master of the pseudo-terminal (socat, a simulator that made the pair with openpty()) is the
// other end of the line, not a second user, even when it keeps the terminal side open too.
bool HoldsDevice(const QByteArray &processDir, dev_t rdev)
{
    const QByteArray fdDir = processDir + "/fd";
    DIR *dir = ::opendir(fdDir.constData());
    if (!dir)
        return false; // gone, or not ours to read
    const int ptyIndex = PtyIndex(rdev);
    bool holdsTerminal = false;
    bool holdsMaster = false;
    while (const dirent *entry = ::readdir(dir)) {
        if (!IsNumber(entry->d_name))
            continue;
        const QByteArray link = fdDir + '/' + entry->d_name;
        char target[64];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        if (n < 5 || std::string_view(target, 5) != "/dev/")
            continue;
        struct stat st
        {
        };
        if (::stat(link.constData(), &st) != 0 || !S_ISCHR(st.st_mode))
            continue;
        if (st.st_rdev == rdev)
            holdsTerminal = true;
        else if (ptyIndex >= 0 && std::string_view(target, size_t(n)).ends_with("ptmx") &&
                 MasterIndex(processDir + "/fdinfo/" + entry->d_name) == ptyIndex)
            holdsMaster = true; // /dev/ptmx or /dev/pts/ptmx: a master
    }
    ::closedir(dir);
    return holdsTerminal && !holdsMaster;
}

QString CommandName(const QByteArray &processDir)
{
    QFile comm(QString::fromLocal8Bit(processDir + "/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    return name.isEmpty() ? QStringLiteral("?") : name;
}

} // namespace
#endif

QList<Holder> FindHolders(const QString &device, const QString &procRoot)
{
    QList<Holder> holders;
#if defined(Q_OS_LINUX)
    struct stat node
    {
    };
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &node) != 0 ||
        !S_ISCHR(node.st_mode))
        return holders;
    const QByteArray root = QFile::encodeName(procRoot);
    DIR *proc = ::opendir(root.constData());
    if (!proc)
        return holders;
    const qint64 self = ::getpid();
    while (const dirent *entry = ::readdir(proc)) {
        if (!IsNumber(entry->d_name))
            continue;
        const qint64 pid = QByteArray(entry->d_name).toLongLong();
        if (pid == self)
            continue;
        const QByteArray processDir = root + '/' + entry->d_name;
        if (HoldsDevice(processDir, node.st_rdev))
            holders.append({pid, CommandName(processDir)});
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(),
              [](const Holder &a, const Holder &b) { return a.pid < b.pid; });
#else
    Q_UNUSED(device);
    Q_UNUSED(procRoot);
#endif
    return holders;
}

QString DescribeHolders(const QList<Holder> &holders)
{
    QStringList parts;
    for (const Holder &h : holders)
        parts << QStringLiteral("%1 (pid %2)").arg(h.name).arg(h.pid);
    return parts.join(QStringLiteral("、"));
}

} // namespace serial
