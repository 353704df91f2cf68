#include "portenumerator.h"

#include "commport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace serial {

namespace {

QString ReadSysfsLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readLine()).trimmed();
}

} // namespace

PortListing SystemPortsFromSysfs(const QString &sysfsClassTty, const QString &devDir)
{
    PortListing listing;
    const QDir classDir(sysfsClassTty);
    const QStringList entries =
        classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString &name : entries) {
        const QString entry = classDir.filePath(name);
        // Only ttys backed by a device are ports; consoles and pseudo-terminals have none.
        if (!QFileInfo::exists(entry + QStringLiteral("/device")))
            continue;
        // A UART the kernel reserved but found no chip for reports type 0.
        if (ReadSysfsLine(entry + QStringLiteral("/type")) == QStringLiteral("0"))
            continue;
        listing.names << devDir + u'/' + name;
        ++listing.deviceCount;
    }
    return listing;
}

PortListing SystemPorts()
{
#if defined(Q_OS_LINUX)
    return SystemPortsFromSysfs(QStringLiteral("/sys/class/tty"));
#else
    PortListing listing;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
#if defined(Q_OS_WIN)
        listing.names << info.portName();
#else
        listing.names << info.systemLocation();
#endif
        ++listing.deviceCount;
    }
    return listing;
#endif
}

QStringList PortPathsFromArguments(const QStringList &arguments)
{
    const QString option = QStringLiteral("--port");
    QStringList paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QStringLiteral("--"))
            break;
        if (argument == option) {
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QStringLiteral("--")))
                paths << arguments[++i];
        } else if (argument.startsWith(option + u'=')) {
            const QString path = argument.mid(option.size() + 1);
            if (!path.isEmpty())
                paths << path;
        }
    }
    return paths;
}

bool NaturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = a[i].isDigit();
        const bool digitB = b[j].isDigit();
        if (digitA && digitB) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Compare by value without converting: skip leading zeros, then longer is larger.
            qsizetype si = i;
            qsizetype sj = j;
            while (si + 1 < ei && a[si] == u'0')
                ++si;
            while (sj + 1 < ej && b[sj] == u'0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c =
                QStringView(a).sliced(si, ei - si).compare(QStringView(b).sliced(sj, ej - sj));
            if (c != 0)
                return c < 0;
            if (ei - i != ej - j)
                return ei - i < ej - j; // fewer leading zeros first
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

QStringList SortedPortNames(QStringList names)
{
    std::stable_sort(names.begin(), names.end(), NaturalLess);
    return names;
}

PortEnumerator::PortEnumerator(Source source) : m_source(std::move(source)) {}

void PortEnumerator::setExtraPorts(const QStringList &paths)
{
    m_extra = paths;
}

QStringList PortEnumerator::extraPorts() const
{
    return m_extra;
}

PortListing PortEnumerator::list() const
{
    PortListing listing = m_source ? m_source() : PortListing{};
    listing.names = SortedPortNames(listing.names);
    listing.names.removeDuplicates();
    for (const QString &path : m_extra) {
        if (!path.isEmpty() && !listing.names.contains(path))
            listing.names << path;
    }
    for (const QString &name : CommPort::VirtualPortNames()) {
        if (!listing.names.contains(name))
            listing.names << name;
    }
    return listing;
}

} // namespace serial
