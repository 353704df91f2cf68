#pragma once

#include "linedevice.h"

#include <QSerialPort>

namespace serial {

// A serial device node (an adapter, a pseudo-terminal, a COM port) as a line. open() opens the
// named device; failure() tells apart why it could not be opened, refused its settings or failed
// while open (then lineFailed() follows once).
class SerialLine : public LineDevice
{
    Q_OBJECT
public:
    explicit SerialLine(const QString &portName, QObject *parent = nullptr);
    ~SerialLine() override;

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool waitForBytesWritten(int msecs) override;

    bool setLineSettings(const LineSettings &settings) override;
    std::optional<QString> setRs485(const Rs485 &mode) override;
    LineFailure failure() const override { return m_failure; }
    void discardInput() override;
    void discardOutput() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void record(FailureKind kind, int errorNumber, bool known = false);
    void portError(QSerialPort::SerialPortError error);

    QString m_path; // as given: QSerialPort names a device node by its short name
    QSerialPort m_port;
    LineSettings m_settings;
    LineFailure m_failure;
    bool m_failed = false;
};

// How a failure of QSerialPort reads as a failure kind. While open, a vanished device reads as
// Removed; accessResult decides a PermissionError at open (see ClassifyOpenFailure).
FailureKind FailureKindOf(QSerialPort::SerialPortError error, bool whileOpen, int accessResult);

} // namespace serial
