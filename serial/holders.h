#pragma once

#include <QList>
#include <QString>

namespace serial {

// A process that holds a device open.
struct Holder
{
    qint64 pid = 0;
    QString name; // its command name (ModemManager, minicom, ...)
    friend bool operator==(const Holder &, const Holder &) = default;
};

// The processes other than this one that hold the device node open, in pid order, found by
// their open descriptors under procRoot (Linux: /proc/<pid>/fd). A process whose descriptors
// this user may not read is not seen. The process holding the master of a pseudo-terminal is
// its other end and never counted. None for a path that is not a character device, and
// none where the system has no such directory.
QList<Holder> FindHolders(const QString &device, const QString &procRoot = QStringLiteral("/proc"));

// "ModemManager (pid 812)"; several joined by "、"; empty for none.
QString DescribeHolders(const QList<Holder> &holders);

} // namespace serial
