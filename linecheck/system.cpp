#include "linecheck/system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace linecheck {

#if defined(Q_OS_LINUX)
namespace {

QString FirstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

} // namespace
#endif

AdapterReading ReadAdapter(const QString &device, const QString &root)
{
    AdapterReading a;
#if defined(Q_OS_LINUX)
    // /dev/serial/by-id/... and other links name the node they point at.
    const QFileInfo node(device);
    const QString name =
        QFileInfo(node.canonicalFilePath().isEmpty() ? device : node.canonicalFilePath())
            .fileName();
    const QString sys = QDir::cleanPath(root + QStringLiteral("/sys"));
    const QString deviceLink = QStringLiteral("%1/class/tty/%2/device").arg(sys, name);
    const QString deviceDir = QFileInfo(deviceLink).canonicalFilePath();
    if (deviceDir.isEmpty())
        return a; // a pseudo-terminal, a virtual console: no device behind it
    a.driver =
        QFileInfo(QFileInfo(deviceLink + QStringLiteral("/driver")).canonicalFilePath()).fileName();
    // The USB device is the first folder above the port that names a vendor.
    const QString sysRoot = QFileInfo(sys).canonicalFilePath();
    for (QDir dir(deviceDir);
         dir.absolutePath().startsWith(sysRoot) && dir.absolutePath() != sysRoot;) {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("idVendor")))) {
            a.usb = true;
            a.vendorId = FirstLine(dir.filePath(QStringLiteral("idVendor")));
            a.productId = FirstLine(dir.filePath(QStringLiteral("idProduct")));
            a.manufacturer = FirstLine(dir.filePath(QStringLiteral("manufacturer")));
            a.product = FirstLine(dir.filePath(QStringLiteral("product")));
            break;
        }
        if (!dir.cdUp())
            break;
    }
    for (const QString &path :
         {deviceDir + QStringLiteral("/latency_timer"),
          QStringLiteral("%1/bus/usb-serial/devices/%2/latency_timer").arg(sys, name)}) {
        bool ok = false;
        const int ms = FirstLine(path).toInt(&ok);
        if (ok) {
            a.latencyMs = ms;
            break;
        }
    }
#else
    Q_UNUSED(device);
    Q_UNUSED(root);
    a.known = false;
#endif
    return a;
}

std::optional<Counters> DriverCounters::read(const QString &device, QString *why)
{
#if defined(Q_OS_LINUX)
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    serial_icounter_struct c{};
    const int done = ::ioctl(fd, TIOCGICOUNT, &c);
    const int error = errno;
    ::close(fd);
    if (done != 0) {
        *why = QStringLiteral("the driver keeps no line counters (%1)")
                   .arg(QString::fromLocal8Bit(std::strerror(error)));
        return std::nullopt;
    }
    return Counters{c.frame, c.parity, c.overrun, c.brk, c.buf_overrun};
#else
    Q_UNUSED(device);
    *why = QStringLiteral("not available here");
    return std::nullopt;
#endif
}

bool DriverCounters::available() const
{
#if defined(Q_OS_LINUX)
    return true;
#else
    return false;
#endif
}

} // namespace linecheck
