#include "holders.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <string_view>

#if defined(Q_OS_LINUX)
#include <dirent.h>
#include <sys/stat.h>
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

// Whether one of the process's descriptors refers to the device rdev. Only descriptors that
// point into /dev are looked at more closely, so no file elsewhere is touched.
bool HoldsDevice(const QByteArray &fdDir, dev_t rdev)
{
    DIR *dir = ::opendir(fdDir.constData());
    if (!dir)
        return false; // gone, or not ours to read
    bool holds = false;
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
        if (::stat(link.constData(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev) {
            holds = true;
            break;
        }
    }
    ::closedir(dir);
    return holds;
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
        if (HoldsDevice(processDir + "/fd", node.st_rdev))
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
