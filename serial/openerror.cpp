#include "openerror.h"

#include <QFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace serial {

OpenResult ClassifyOpenFailure(QSerialPort::SerialPortError error, int accessResult)
{
    switch (error) {
    case QSerialPort::NoError:
        return OpenResult::Ok;
    case QSerialPort::DeviceNotFoundError:
        return OpenResult::NoSuchPort;
    case QSerialPort::OpenError: // already open through the same object
        return OpenResult::Busy;
    case QSerialPort::PermissionError:
        switch (accessResult) {
        case 0:
            return OpenResult::Busy;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenResult::NoPermission;
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV:
            return OpenResult::NoSuchPort;
        default:
            return OpenResult::Other;
        }
    default:
        return OpenResult::Other;
    }
}

int AccessResult(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), R_OK | W_OK) == 0)
        return 0;
    return errno;
#else
    Q_UNUSED(path);
    return 0;
#endif
}

} // namespace serial
