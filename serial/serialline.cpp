#include "serialline.h"

#include "holders.h"
#include "openerror.h"

#include <cerrno>
#include <cstring>

#if defined(Q_OS_LINUX)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace serial {

namespace {

QSerialPort::Parity ToQtParity(char parity)
{
    switch (parity) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

bool ApplySettings(QSerialPort &port, const LineSettings &s)
{
    return port.setBaudRate(s.baudRate) &&
           port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
           port.setParity(ToQtParity(s.parity)) &&
           port.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

bool IsFailureWhileOpen(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

#if defined(Q_OS_WIN)
FailureKind KindOfOpenResult(OpenResult result)
{
    switch (result) {
    case OpenResult::Ok:
        return FailureKind::None;
    case OpenResult::NoSuchPort:
        return FailureKind::NoSuchPort;
    case OpenResult::Busy:
        return FailureKind::Busy;
    case OpenResult::NoPermission:
        return FailureKind::NoPermission;
    default:
        return FailureKind::Other;
    }
}
#endif

} // namespace

FailureKind FailureKindOf(QSerialPort::SerialPortError error, bool whileOpen, int accessResult)
{
    switch (error) {
    case QSerialPort::NoError:
        return FailureKind::None;
    case QSerialPort::ReadError:
        return FailureKind::ReadFailed;
    case QSerialPort::WriteError:
        return FailureKind::WriteFailed;
    case QSerialPort::TimeoutError:
        return FailureKind::NotResponding;
    case QSerialPort::UnsupportedOperationError:
        return FailureKind::BadSettings;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::ResourceError:
        if (whileOpen)
            return FailureKind::Removed;
        break;
    default:
        break;
    }
    if (whileOpen)
        return FailureKind::Other;
    switch (ClassifyOpenFailure(error, accessResult)) {
    case OpenResult::Ok:
        return FailureKind::None;
    case OpenResult::NoSuchPort:
        return FailureKind::NoSuchPort;
    case OpenResult::Busy:
        return FailureKind::Busy;
    case OpenResult::NoPermission:
        return FailureKind::NoPermission;
    case OpenResult::Other:
    case OpenResult::Connecting:
        break;
    }
    return FailureKind::Other;
}

SerialLine::SerialLine(const QString &portName, QObject *parent)
    : LineDevice(parent), m_path(portName)
{
    m_port.setPortName(portName);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLine::portError);
}

SerialLine::~SerialLine()
{
    m_port.close();
}

bool SerialLine::open(OpenMode mode)
{
    m_failure = {};
    m_failed = false;
    if (!m_port.open(QIODevice::ReadWrite)) {
        const int errorNumber = errno;
        const QSerialPort::SerialPortError error = m_port.error();
#if defined(Q_OS_WIN)
        // Windows' own error code tells more; the port is asked again for it. Should the port
        // have come free meanwhile, QSerialPort's error decides.
        const OpenResult result = ClassifyWindowsOpenError(WindowsOpenError(m_path));
        if (result != OpenResult::Ok) {
            record(KindOfOpenResult(result), 0);
            m_port.clearError();
            return false;
        }
#endif
        const int access = error == QSerialPort::PermissionError ? AccessResult(m_path) : 0;
        if (access)
            record(FailureKindOf(error, false, access), access, true);
        else
            record(FailureKindOf(error, false, access), errorNumber);
        m_port.clearError();
        return false;
    }
    // Another program that has the terminal open without a lock file would share its bytes.
    // Looked for once the node has shown itself a terminal: every process holds /dev/null.
    if (const QString holders = DescribeHolders(FindHolders(m_path)); !holders.isEmpty()) {
        m_port.close();
        m_failure = {FailureKind::Busy, 0, holders};
        setErrorString(holders);
        return false;
    }
    m_port.clear(QSerialPort::AllDirections);
    return LineDevice::open(mode | QIODevice::Unbuffered);
}

void SerialLine::close()
{
    LineDevice::close();
    m_port.close();
}

qint64 SerialLine::bytesAvailable() const
{
    return LineDevice::bytesAvailable() + m_port.bytesAvailable();
}

qint64 SerialLine::bytesToWrite() const
{
    return m_port.bytesToWrite();
}

bool SerialLine::waitForBytesWritten(int msecs)
{
    return m_port.waitForBytesWritten(msecs);
}

bool SerialLine::setLineSettings(const LineSettings &settings)
{
    if (!m_port.isOpen()) {
        m_settings = settings;
        return true;
    }
    const int errorNumberBefore = errno;
    if (ApplySettings(m_port, settings)) {
        m_settings = settings;
        return true;
    }
    if (m_failed)
        return false; // the device failed meanwhile and said so
    const int errorNumber = errno != errorNumberBefore ? errno : 0;
    record(FailureKind::BadSettings, errorNumber);
    m_port.clearError();
    ApplySettings(m_port, m_settings);
    return false;
}

void SerialLine::discardInput()
{
    m_port.clear(QSerialPort::Input);
}

void SerialLine::discardOutput()
{
    m_port.clear(QSerialPort::Output);
}

qint64 SerialLine::readData(char *data, qint64 maxSize)
{
    return m_port.read(data, maxSize);
}

qint64 SerialLine::writeData(const char *data, qint64 size)
{
    const qint64 n = m_port.write(data, size);
    if (n < 0) {
        if (!m_failed)
            record(FailureKind::WriteFailed, 0);
        return n;
    }
    // Hand the bytes to the driver now rather than from the event loop, as a port that is
    // closed or reconfigured right after a write still sends them first.
    m_port.flush();
    return n;
}

void SerialLine::record(FailureKind kind, int errorNumber, bool known)
{
    m_failure.kind = kind;
    m_failure.detail = m_port.errorString();
    // errno is kept where it is known to be the cause: given as such, or the one whose system
    // text the driver reports.
    const bool matches = errorNumber > 0 && qt_error_string(errorNumber) == m_failure.detail;
    m_failure.errorNumber = known || matches ? errorNumber : 0;
    setErrorString(m_failure.detail);
}

void SerialLine::portError(QSerialPort::SerialPortError error)
{
    if (!isOpen() || m_failed || !IsFailureWhileOpen(error))
        return;
    m_failed = true;
    record(FailureKindOf(error, true, 0), errno);
    emit lineFailed();
}

std::optional<QString> SerialLine::setRs485(const Rs485 &mode)
{
#if defined(Q_OS_LINUX)
    if (!m_port.isOpen())
        return QStringLiteral("the port is not open");
    serial_rs485 rs485{};
    if (mode.enabled) {
        rs485.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs485.delay_rts_before_send = static_cast<__u32>(mode.delayBeforeMs);
        rs485.delay_rts_after_send = static_cast<__u32>(mode.delayAfterMs);
    }
    if (::ioctl(int(m_port.handle()), TIOCSRS485, &rs485) != 0) {
        const int error = errno;
        return QStringLiteral("the driver of %1 refuses the RS-485 mode: %2")
            .arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
    }
    return std::nullopt;
#else
    Q_UNUSED(mode);
    return QStringLiteral("the RS-485 mode of the driver is not available here");
#endif
}

} // namespace serial
