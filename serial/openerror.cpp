#include "openerror.h"

#include <QFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
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

#if defined(Q_OS_WIN)

OpenResult ClassifyWindowsOpenError(unsigned long code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return OpenResult::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return OpenResult::NoSuchPort;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
    case ERROR_DEVICE_IN_USE:
        return OpenResult::Busy;
    case ERROR_PRIVILEGE_NOT_HELD:
        return OpenResult::NoPermission;
    default:
        return OpenResult::Other;
    }
}

unsigned long WindowsOpenError(const QString &portName)
{
    const QString prefix = QStringLiteral("\\\\.\\");
    const QString device = portName.startsWith(prefix) ? portName : prefix + portName;
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t *>(device.utf16()), GENERIC_READ | GENERIC_WRITE,
                    0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(handle);
    return ERROR_SUCCESS;
}

#endif

} // namespace serial
